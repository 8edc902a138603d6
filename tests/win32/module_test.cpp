// The module that holds an address: this program, the system's DLLs, nothing for addresses
// outside every image.
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "win32/module.h"

using namespace kel::win32;

namespace {

int inThisProgram = 0;

TEST(Module, TheModuleThatHoldsAnAddress) {
    const HMODULE program = GetModuleHandleA(nullptr);
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    ASSERT_NE(kernel32, nullptr);
    ASSERT_NE(user32, nullptr);
    const std::vector<char> heap(64);
    const int onTheStack = 0;
    const struct {
        const char* what;
        const void* address;
        HMODULE expected;
    } cases[] = {
        {"a variable of this program", &inThisProgram, program},
        {"a function of this program", reinterpret_cast<const void*>(&thisModule), program},
        {"the program's header", program, program},
        {"a function of kernel32",
         reinterpret_cast<const void*>(GetProcAddress(kernel32, "GetTickCount")), kernel32},
        {"a function of user32",
         reinterpret_cast<const void*>(GetProcAddress(user32, "DispatchMessageA")), user32},
        {"the heap", heap.data(), nullptr},
        {"the stack", &onTheStack, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(moduleContaining(c.address), c.expected) << c.what;
    }
}

TEST(Module, ThisModuleIsTheOneTheCodeIsLinkedInto) {
    EXPECT_EQ(thisModule(), GetModuleHandleA(nullptr));
    // Asking leaves the module's reference count alone: it can still be freed as often as it was
    // loaded.
    const HMODULE version = LoadLibraryA("version.dll");
    ASSERT_NE(version, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(moduleContaining(reinterpret_cast<const void*>(
                      GetProcAddress(version, "GetFileVersionInfoSizeA"))),
                  version);
    }
    EXPECT_TRUE(FreeLibrary(version));
}

} // namespace
