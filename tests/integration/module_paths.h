// Where the integration tests find the plug-in modules: beside the test program.
#pragma once

#include <windows.h>

#include <string>

inline std::string besideThisProgram(const std::string& file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder + file;
}

inline const char* const kCleanModule = "HN-6 Clean Preamp.dll";
inline const char* const kCrunchModule = "KR-6 Crunch Preamp.dll";
