// Writes the Turtle files of a plug-in's bundle at build time:
//   kel_lv2_bundle clean|crunch BINARY_FILE UI_BINARY_FILE FOLDER
// BINARY_FILE and UI_BINARY_FILE are the plug-in's and its editor's module file names inside the
// bundle folder FOLDER.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "lv2/turtle.h"

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "kel_lv2_bundle: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kel::lv2;
    if (argc != 5 || (std::strcmp(argv[1], "clean") != 0 && std::strcmp(argv[1], "crunch") != 0)) {
        std::fprintf(stderr,
                     "usage: kel_lv2_bundle clean|crunch BINARY_FILE UI_BINARY_FILE FOLDER\n");
        return 2;
    }
    const Lv2Plugin& plugin = std::strcmp(argv[1], "clean") == 0 ? kCleanPlugin : kCrunchPlugin;
    const std::string folder = argv[4];
    const bool written =
        writeFile(folder + "/manifest.ttl", manifestTurtle(plugin, argv[2], argv[3])) &&
        writeFile(folder + "/" + kPluginFile, pluginTurtle(plugin)) &&
        writeFile(folder + "/" + kPresetsFile, presetsTurtle(plugin));
    return written ? 0 : 1;
}
