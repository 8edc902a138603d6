// kelhost: our command-line VST 2.x host. It loads a plug-in module the way a host does and
// reports what the plug-in answers, renders audio files through it, times it, shows its editor
// and validates it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "host/bench.h"
#include "host/command_line.h"
#include "host/editor_window.h"
#include "host/host_callback.h"
#include "host/plugin_info.h"
#include "host/plugin_module.h"
#include "host/render.h"
#include "host/validator.h"
#include "host/wav_file.h"

namespace kel::host {

namespace {

const char* const kUsageCommands =
    "usage: kelhost COMMAND [options] ...\n"
    "\n"
    "commands:\n"
    "  info PLUGIN.dll [--json]\n"
    "      identity, record, parameters, programs, pins, canDo answers and editor size\n"
    "  render PLUGIN.dll IN.wav OUT.wav [--program N] [--param NAME=VALUE]... [--block N]\n"
    "         [--adding] [--rate R] [--format s16|s24|f32]\n"
    "      runs a WAV file (16/24-bit PCM or 32-bit float; mono feeds both inputs) through\n"
    "      the plug-in. VALUE is normalised (0.5) or an integer setting (Gain=80). --rate tells\n"
    "      the plug-in another rate than the file's; the output keeps the file's rate and,\n"
    "      unless --format says otherwise, its sample format.\n"
    "  bench PLUGIN.dll [--seconds S] [--program N] [--param NAME=VALUE]...\n"
    "      times the replacing call on stereo blocks of 64 and 512 frames at 44.1 kHz\n"
    "  editor PLUGIN.dll [--layout tall|wide] [--audio] [--automate] [--reopen N]\n"
    "         [--screenshot FILE.png] [--seconds S] [--position X Y]\n"
    "      shows the plug-in's editor in a window of its own (44.1 kHz, blocks of 512, resumed),\n"
    "      idled at 30 Hz, until the window is closed. Writes one line per event to stdout:\n"
    "      \"automate INDEX VALUE\", \"begin INDEX\", \"end INDEX\" as the plug-in reports them,\n"
    "      \"reopened N\" after --reopen, then \"window X Y W H\" (the client area on the screen)\n"
    "      and \"ready\" once the editor is painted. Exit status 1 if no editor opens.\n"
    "        --audio          processes a plucked-guitar signal in real time on a second thread\n"
    "        --automate       sets parameters 1-3 (now and then 0) about every millisecond from\n"
    "                         a third thread\n"
    "        --reopen N       closes and reopens the editor N times before it is ready\n"
    "        --screenshot F   saves the client area as a PNG file 0.3 s after ready (or at the\n"
    "                         close, if that comes earlier)\n"
    "        --seconds S      closes the window S seconds after ready (fractions allowed)\n"
    "        --position X Y   puts the client area's top-left corner at screen pixel X Y\n"
    "  validate PLUGIN.dll [--strictness 1-10] [--seed N] [--timeout S]\n"
    "      puts the plug-in through the tests a host relies on and prints \"RUN <test>\" as a\n"
    "      test starts, then \"PASS <test>\" or \"FAIL <test>: <reason>\" (details indented\n"
    "      below) and at the end \"N passed, N failed\". Exit status 0 only when all pass.\n"
    "      Every output of every test must be finite and within +-100; subnormal outputs are\n"
    "      noted, and fail from level 9 on. Texts past their conventional size (effect name 32,\n"
    "      vendor and product 64, parameter name, label and display 8, program names 24) are\n"
    "      noted; they fail past 256 bytes, and from level 8 on past 32 bytes for parameter\n"
    "      texts and program names and past the conventional size for the others.\n"
    "        --strictness N   runs the tests of levels 1 to N (default 5):\n";

// Between the tests of each level and the host options.
const char* const kUsageValidateEnd =
    "        --seed N         seeds the fuzz values and block partitions (default 1)\n"
    "        --timeout S      time limit of every test in seconds (default: each test's own,\n"
    "                         20 to 60 s). A test over its limit is reported as timed out and\n"
    "                         left running; the run goes on with fresh instances and ends at\n"
    "                         the second timeout (the tests left are reported as skipped). A\n"
    "                         crash on a test's thread is reported and the run goes on; a\n"
    "                         crash on a thread of the plug-in's own ends the process after the\n"
    "                         test's RUN line.\n";

const char* const kUsageHostOptions =
    "\n"
    "host options (any command):\n"
    "  --host-vendor TEXT    vendor string the host reports (default \"Sonadrix\")\n"
    "  --host-product TEXT   product string the host reports (default \"Sonadrix Host\")\n"
    "  --host-version N      answer to the version query (default 2400; 0: too old)\n"
    "  --layout tall|wide    host strings for which our plug-ins start in their tall pedal\n"
    "                        layout (vendor \"Sonadrix\", product \"OrvalleGig Host\") or their\n"
    "                        wide one (the defaults); --host-vendor and --host-product win\n";

const std::vector<std::string> kValueOptions = {
    "host-vendor", "host-product", "host-version", "layout", "program",
    "param",       "block",        "rate",         "format", "seconds",
    "reopen",      "screenshot",   "strictness",   "seed",   "timeout"};

std::string usageText() {
    return std::string(kUsageCommands) + validatorLevelsText() + kUsageValidateEnd +
           kUsageHostOptions;
}
const std::vector<std::string> kPairOptions = {"position"};

int fail(const std::string& message) {
    std::fprintf(stderr, "kelhost: %s\n", message.c_str());
    return 1;
}

int usage() {
    std::fputs(usageText().c_str(), stderr);
    return 2;
}

// Whole text as a number, nothing before or after it.
bool parseInteger(const std::string& text, long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end && *end == 0 && errno == 0;
}

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == 0 && value == value;
}

// A whole number from option NAME that fits VALUE, when given; VALUE keeps its default otherwise.
template <typename Integer>
bool parseIntegerOption(const CommandLine& args, const char* name, const char* wanted,
                        Integer& value, std::string& error) {
    long long number = 0;
    if (!args.has(name)) {
        return true;
    }
    if (!parseInteger(args.get(name), number) ||
        number < static_cast<long long>(std::numeric_limits<Integer>::min()) ||
        number > static_cast<long long>(std::numeric_limits<Integer>::max())) {
        error = std::string("--") + name + " wants " + wanted + ", got \"" + args.get(name) + "\"";
        return false;
    }
    value = static_cast<Integer>(number);
    return true;
}

bool applyHostOptions(const CommandLine& args, std::string& error) {
    HostIdentity& identity = hostState().identity;
    if (args.has("layout")) {
        const std::string layout = args.get("layout");
        // Our plug-ins choose the tall layout for vendor "Sonadrix" and a product whose eighth
        // character is G or B.
        if (layout == "tall") {
            identity.vendor = "Sonadrix";
            identity.product = "OrvalleGig Host";
        } else if (layout == "wide") {
            identity.vendor = "Sonadrix";
            identity.product = "Sonadrix Host";
        } else {
            error = "--layout wants tall or wide, got \"" + layout + "\"";
            return false;
        }
    }
    identity.vendor = args.get("host-vendor", identity.vendor);
    identity.product = args.get("host-product", identity.product);
    return parseIntegerOption(args, "host-version", "a whole number", identity.versionAnswer,
                              error);
}

// Loads the module named by the second positional argument and creates one instance.
bool openPlugin(const CommandLine& args, PluginModule& module, AEffect*& effect,
                std::string& error) {
    const std::string& path = args.positional[1];
    if (!module.load(path, error)) {
        return false;
    }
    effect = module.createEffect();
    if (!effect) {
        error = path + " created no effect";
        return false;
    }
    return true;
}

bool parseRenderOptions(const CommandLine& args, RenderOptions& options, std::string& error) {
    options.program = -1;
    options.blockSize = 512;
    if (!parseIntegerOption(args, "program", "a program number", options.program, error) ||
        !parseIntegerOption(args, "block", "a block size in frames", options.blockSize, error)) {
        return false;
    }
    options.adding = args.has("adding");
    if (args.has("rate") && !parseNumber(args.get("rate"), options.rate)) {
        error = "--rate wants a sample rate in Hz, got \"" + args.get("rate") + "\"";
        return false;
    }
    for (const std::string& param : args.all("param")) {
        const std::size_t equals = param.find('=');
        if (equals == std::string::npos || equals == 0) {
            error = "--param wants NAME=VALUE, got \"" + param + "\"";
            return false;
        }
        options.params.emplace_back(param.substr(0, equals), param.substr(equals + 1));
    }
    return true;
}

int runInfo(const CommandLine& args) {
    if (args.positional.size() != 2) {
        return usage();
    }
    PluginModule module;
    AEffect* effect = nullptr;
    std::string error;
    if (!openPlugin(args, module, effect, error)) {
        return fail(error);
    }
    PluginInstance plugin(effect);
    const PluginInfo info = collectInfo(plugin);
    std::fputs((args.has("json") ? formatInfoJson(info) : formatInfoText(info)).c_str(), stdout);
    return 0;
}

int runRender(const CommandLine& args) {
    if (args.positional.size() != 4) {
        return usage();
    }
    RenderOptions options;
    std::string error;
    AudioBuffer input, output;
    if (!parseRenderOptions(args, options, error) ||
        !readWavFile(args.positional[2], input, error)) {
        return fail(error);
    }
    SampleFormat format = input.format;
    if (args.has("format") && !parseFormatName(args.get("format"), format)) {
        return fail("unknown --format \"" + args.get("format") + "\"");
    }
    PluginModule module;
    AEffect* effect = nullptr;
    if (!openPlugin(args, module, effect, error)) {
        return fail(error);
    }
    PluginInstance plugin(effect);
    const bool longFile = input.frames() > static_cast<std::size_t>(input.sampleRate) * 20;
    auto progress = [](std::size_t done, std::size_t total) {
        std::fprintf(stderr, "\rrendering %3d%%", static_cast<int>(100.0 * done / total));
    };
    if (!renderAudio(plugin, input, options, output, error,
                     longFile ? std::function<void(std::size_t, std::size_t)>(progress)
                              : nullptr)) {
        return fail(error);
    }
    if (longFile) {
        std::fputs("\n", stderr);
    }
    if (!writeWavFile(args.positional[3], output, format, error)) {
        return fail(error);
    }
    return 0;
}

int runBench(const CommandLine& args) {
    if (args.positional.size() != 2) {
        return usage();
    }
    RenderOptions options;
    std::string error;
    double seconds = 1.0;
    if (args.has("seconds") && (!parseNumber(args.get("seconds"), seconds) || seconds < 0.0)) {
        return fail("--seconds wants a time from 0 up, got \"" + args.get("seconds") + "\"");
    }
    PluginModule module;
    AEffect* effect = nullptr;
    if (!parseRenderOptions(args, options, error) || !openPlugin(args, module, effect, error)) {
        return fail(error);
    }
    PluginInstance plugin(effect);
    if (!setProgramAndParameters(plugin, options, error)) {
        return fail(error);
    }
    char title[160];
    std::snprintf(title, sizeof title,
                  "%s, replacing call, stereo, 44.1 kHz (best of rounds over %.1f s each)",
                  plugin.text(effGetEffectName).c_str(), seconds);
    printBenchResults(title, benchmarkPlugin(plugin, {64, 512}, seconds));
    return 0;
}

bool parseEditorOptions(const CommandLine& args, EditorOptions& options, std::string& error) {
    options.audio = args.has("audio");
    options.automate = args.has("automate");
    options.screenshotPath = args.get("screenshot");
    if (args.has("screenshot") && options.screenshotPath.empty()) {
        error = "--screenshot wants a file name";
        return false;
    }
    long long reopen = 0;
    if (args.has("reopen") &&
        (!parseInteger(args.get("reopen"), reopen) || reopen < 0 || reopen > 1000000)) {
        error = "--reopen wants a count, got \"" + args.get("reopen") + "\"";
        return false;
    }
    options.reopenCount = static_cast<int>(reopen);
    if (args.has("seconds") &&
        (!parseNumber(args.get("seconds"), options.seconds) || options.seconds <= 0.0)) {
        error = "--seconds wants a time above 0, got \"" + args.get("seconds") + "\"";
        return false;
    }
    if (args.has("position")) {
        const std::string position = args.get("position");
        const std::size_t space = position.find(' ');
        long long x = 0, y = 0;
        if (space == std::string::npos || !parseInteger(position.substr(0, space), x) ||
            !parseInteger(position.substr(space + 1), y)) {
            error = "--position wants two whole numbers X Y, got \"" + position + "\"";
            return false;
        }
        options.placed = true;
        options.x = static_cast<int>(x);
        options.y = static_cast<int>(y);
    }
    return true;
}

int runEditor(const CommandLine& args) {
    if (args.positional.size() != 2) {
        return usage();
    }
    EditorOptions options;
    std::string error;
    PluginModule module;
    AEffect* effect = nullptr;
    if (!parseEditorOptions(args, options, error) || !openPlugin(args, module, effect, error)) {
        return fail(error);
    }
    PluginInstance plugin(effect);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.dispatch(effSetBlockSize, 0, 512);
    plugin.dispatch(effMainsChanged, 0, 1);
    hostState().logEvents = true;
    const bool shown = runEditorWindow(plugin, options, error);
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.close();
    return shown ? 0 : fail(error);
}

int runValidate(const CommandLine& args) {
    if (args.positional.size() != 2) {
        return usage();
    }
    ValidatorOptions options;
    long long strictness = options.strictness;
    std::string error;
    if (args.has("strictness") && (!parseInteger(args.get("strictness"), strictness) ||
                                   strictness < kMinStrictness || strictness > kMaxStrictness)) {
        return fail("--strictness wants a level from 1 to 10, got \"" + args.get("strictness") +
                    "\"");
    }
    if (!parseIntegerOption(args, "seed", "a whole number from 0 up", options.seed, error)) {
        return fail(error);
    }
    if (args.has("timeout") && (!parseNumber(args.get("timeout"), options.timeoutSeconds) ||
                                options.timeoutSeconds <= 0.0)) {
        return fail("--timeout wants a time above 0, got \"" + args.get("timeout") + "\"");
    }
    options.strictness = static_cast<int>(strictness);
    return runValidator(args.positional[1], options);
}

} // namespace

} // namespace kel::host

using namespace kel::host;

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine args;
    std::string error;
    if (!parseCommandLine(arguments, kValueOptions, args, error, kPairOptions)) {
        return fail(error);
    }
    if (args.has("help")) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (args.positional.empty()) {
        return usage();
    }
    if (!applyHostOptions(args, error)) {
        return fail(error);
    }
    const std::string& command = args.positional[0];
    if (command == "info") {
        return runInfo(args);
    }
    if (command == "render") {
        return runRender(args);
    }
    if (command == "bench") {
        return runBench(args);
    }
    if (command == "editor") {
        return runEditor(args);
    }
    if (command == "validate") {
        return runValidate(args);
    }
    std::fprintf(stderr, "kelhost: unknown command \"%s\"\n", command.c_str());
    return usage();
}
