// LeakSanitizer's suppressions for the native programs that draw text. Fontconfig loses about
// 300 bytes once, inside its own code, while it parses its configuration files on first use
// (FcInitLoadConfigAndFonts, through expat); nothing of ours holds or could free them. Only
// fontconfig's own allocations are let through: a leak anywhere else still fails the test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
