#include "model/user_folders.h"

#include <cstring>

#include "model/plugin_description.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>
#endif

namespace kel::model {

std::string userConfigFolderFor(const char* xdgConfigHome, const char* home) {
    std::string config;
    if (xdgConfigHome && xdgConfigHome[0] == '/') {
        config = xdgConfigHome;
    } else if (home && home[0] == '/') {
        config = std::string(home) + (std::strcmp(home, "/") == 0 ? "" : "/") + ".config";
    } else {
        return {};
    }
    while (config.size() > 1 && config.back() == '/') {
        config.pop_back();
    }
    if (config != "/") {
        config += '/';
    }
    return config + kVendorName + "/" + kProductName;
}

#ifndef _WIN32
std::string userHomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

std::string userConfigFolder() {
    const std::string home = userHomeFolder();
    return userConfigFolderFor(std::getenv("XDG_CONFIG_HOME"), home.c_str());
}
#endif

} // namespace kel::model
