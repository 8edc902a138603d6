// Where a user's files of the bundle live on Linux: the folder of the user presets, the quick
// slots and the editor's settings file.
#pragma once

#include <string>

namespace kel::model {

// Pure: $XDG_CONFIG_HOME/Sonadrix/Orvalle Vol.2 for these values of XDG_CONFIG_HOME and HOME
// (either may be nullptr), ~/.config/... when XDG_CONFIG_HOME is unset, empty or not an absolute
// path; empty when neither is absolute.
std::string userConfigFolderFor(const char* xdgConfigHome, const char* home);

#ifndef _WIN32
// HOME when it is an absolute path, else the home folder of the user's password entry; empty
// when neither is known.
std::string userHomeFolder();
// userConfigFolderFor the environment now and userHomeFolder.
std::string userConfigFolder();
#endif

} // namespace kel::model
