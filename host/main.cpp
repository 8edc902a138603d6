// kelhost: our command-line VST 2.x host. It loads a plug-in module the way a host does and
// reports what the plug-in answers.
#include <cstdio>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/host_callback.h"
#include "host/plugin_info.h"
#include "host/plugin_module.h"

namespace {

const char* const kUsage =
    "usage: kelhost COMMAND [options] PLUGIN.dll ...\n"
    "\n"
    "commands:\n"
    "  info PLUGIN.dll [--json]     identity, record, parameters, programs, pins, canDo, editor\n"
    "\n"
    "host options (any command):\n"
    "  --host-vendor TEXT           vendor string the host reports (default \"Sonadrix\")\n"
    "  --host-product TEXT          product string the host reports (default \"Sonadrix Host\")\n"
    "  --host-version N             answer to the version query (default 2400; 0: too old)\n";

const std::vector<std::string> kValueOptions = {"host-vendor", "host-product", "host-version"};

void applyHostOptions(const CommandLine& args) {
    HostIdentity& identity = hostState().identity;
    identity.vendor = args.get("host-vendor", identity.vendor);
    identity.product = args.get("host-product", identity.product);
    if (args.has("host-version")) {
        identity.versionAnswer = std::stol(args.get("host-version"));
    }
}

int runInfo(const CommandLine& args) {
    if (args.positional.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    PluginModule module;
    std::string error;
    if (!module.load(args.positional[1], error)) {
        std::fprintf(stderr, "kelhost: %s\n", error.c_str());
        return 1;
    }
    AEffect* effect = module.createEffect();
    if (!effect) {
        std::fprintf(stderr, "kelhost: %s created no effect\n", args.positional[1].c_str());
        return 1;
    }
    PluginInstance plugin(effect);
    const PluginInfo info = collectInfo(plugin);
    const std::string text = args.has("json") ? formatInfoJson(info) : formatInfoText(info);
    std::fputs(text.c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine args;
    std::string error;
    if (!parseCommandLine(arguments, kValueOptions, args, error)) {
        std::fprintf(stderr, "kelhost: %s\n", error.c_str());
        return 2;
    }
    if (args.positional.empty() || args.has("help")) {
        std::fputs(kUsage, args.has("help") ? stdout : stderr);
        return args.has("help") ? 0 : 2;
    }
    applyHostOptions(args);
    const std::string& command = args.positional[0];
    if (command == "info") {
        return runInfo(args);
    }
    std::fprintf(stderr, "kelhost: unknown command \"%s\"\n%s", command.c_str(), kUsage);
    return 2;
}
