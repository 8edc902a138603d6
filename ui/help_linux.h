// Opens the plug-in's help on Linux: the HTML pages each LV2 bundle carries in its help/ folder
// (the sources of Orvalle1.chm), shown in the user's browser through xdg-open. Safe in a host's
// multi-threaded process: the opener is started with posix_spawn, inherits no descriptor but
// standard error, and no signal disposition of the process is changed; an opener still running
// when the call returns is reaped at a later call.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace kel::ui {

// The page of Orvalle1.chm's context 7 (help/Orvalle1.hhp), and the bundle's folder of pages.
inline constexpr const char* kHelpPageName = "using.htm";
inline constexpr const char* kHelpFolderName = "help/";
inline constexpr const char* kBrowserOpener = "xdg-open";
// Bytes of a help path, terminator included (PATH_MAX).
inline constexpr std::size_t kHelpPathSize = 4096;

// How long showPage waits for the opener to end. xdg-open hands the page to the desktop's
// browser and ends within a second; without a desktop it may run a browser itself until that is
// closed, which counts as shown once this wait is over. The wait holds up the editor's own
// thread only, never the host's.
inline constexpr std::chrono::milliseconds kOpenerWait{3000};

// Replaces whatever follows the last slash of path with fileName, cut to what the buffer of size
// bytes can hold: a folder ending in "/" keeps all of it, any other path loses its last part.
void replaceFileName(char* path, std::size_t size, const char* fileName);

// The help page to show: in the folder the settings file's HelpPath names (the Windows rule for
// "Help Path": a value ending in "/" is that folder, any other loses its last part), else in the
// help/ folder beside the module at modulePath.
std::string helpPagePath(const std::string& settingsFile, const std::string& modulePath);

// The file of the module (the UI module in a host, the program in a test) this code is in;
// empty when the loader does not know it.
std::string thisModulePath();

// Pure: a file:// URI of an absolute path, every byte but unreserved ones and "/" encoded.
std::string fileUri(const std::string& absolutePath);

// Starts opener (looked up on PATH unless it names a file) with page's file:// URI and waits up
// to wait for it to end. True when it ended with status 0 or still runs after the wait; false
// when page is no readable file, the opener cannot be started, fails or is killed.
bool showPage(const std::string& page, const char* opener = kBrowserOpener,
              std::chrono::milliseconds wait = kOpenerWait);

// Reaps the openers of earlier calls that have ended since, and answers how many still run.
int reapOpeners();

// The help page of the user's settings and this module, shown through xdg-open.
bool openHelp();

} // namespace kel::ui
