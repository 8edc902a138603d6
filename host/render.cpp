#include "host/render.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kel::host {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The display as an integer, when it is one (surrounding spaces allowed).
bool displayedInteger(const PluginInstance& plugin, int index, long& value) {
    const std::string text = plugin.text(effGetParamDisplay, index);
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtol(begin, &end, 10);
    if (end == begin) {
        return false;
    }
    while (*end == ' ') {
        ++end;
    }
    return *end == 0;
}

bool isWholeNumber(const std::string& text) {
    std::size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    return start < text.size() && std::all_of(text.begin() + static_cast<long>(start), text.end(),
                                              [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Smallest normalised value in 0..1 whose display shows at least `wanted`; the bit patterns of
// non-negative floats are ordered like their values, so a bisection over them finds it exactly.
bool findSettingValue(const PluginInstance& plugin, int index, long wanted, float& found) {
    std::uint32_t low = 0, high = 0x3F800000; // 0.0f and 1.0f
    auto valueOf = [](std::uint32_t bits) {
        float v;
        std::memcpy(&v, &bits, sizeof(v));
        return v;
    };
    auto displayAt = [&](std::uint32_t bits, long& shown) {
        plugin.setParameter(index, valueOf(bits));
        return displayedInteger(plugin, index, shown);
    };
    long shown = 0;
    if (!displayAt(high, shown) || shown < wanted) {
        return false;
    }
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (!displayAt(middle, shown)) {
            return false;
        }
        if (shown >= wanted) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    if (!displayAt(low, shown) || shown != wanted) {
        return false;
    }
    found = valueOf(low);
    return true;
}

} // namespace

bool setParameterByName(const PluginInstance& plugin, const std::string& name,
                        const std::string& valueText, std::string& error) {
    const int count = plugin.effect()->numParams;
    int index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        if (lowerCase(plugin.text(effGetParamName, i)) == lowerCase(name)) {
            index = i;
        }
    }
    if (index < 0) {
        error = "no parameter named \"" + name + "\"";
        return false;
    }
    char* end = nullptr;
    const double number = std::strtod(valueText.c_str(), &end);
    if (valueText.empty() || *end != 0) {
        error = "\"" + valueText + "\" is not a number";
        return false;
    }
    long shown = 0;
    if (isWholeNumber(valueText) && displayedInteger(plugin, index, shown)) {
        float value = 0.0f;
        if (!findSettingValue(plugin, index, std::strtol(valueText.c_str(), nullptr, 10), value)) {
            error = "parameter \"" + name + "\" cannot show " + valueText;
            return false;
        }
        plugin.setParameter(index, value);
        return true;
    }
    plugin.setParameter(index, static_cast<float>(number));
    return true;
}

bool setProgramAndParameters(const PluginInstance& plugin, const RenderOptions& options,
                             std::string& error) {
    if (options.program >= 0) {
        plugin.dispatch(effSetProgram, 0, options.program);
    }
    for (const auto& param : options.params) {
        if (!setParameterByName(plugin, param.first, param.second, error)) {
            return false;
        }
    }
    return true;
}

bool renderAudio(const PluginInstance& plugin, const AudioBuffer& input,
                 const RenderOptions& options, AudioBuffer& output, std::string& error,
                 const std::function<void(std::size_t, std::size_t)>& progress) {
    const AEffect& record = *plugin.effect();
    if (input.channels.empty() || record.numInputs < 1 || record.numOutputs < 1) {
        error = "nothing to render";
        return false;
    }
    if (options.blockSize < 1) {
        error = "the block size must be at least 1";
        return false;
    }
    if (options.adding ? !record.process : !record.processReplacing) {
        error = "the plug-in lacks that processing call";
        return false;
    }
    const double rate = options.rate > 0.0 ? options.rate : input.sampleRate;
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    plugin.dispatch(effSetBlockSize, 0, options.blockSize);
    if (!setProgramAndParameters(plugin, options, error)) {
        return false;
    }
    plugin.dispatch(effMainsChanged, 0, 1);

    const std::size_t frames = input.frames();
    const std::size_t block = static_cast<std::size_t>(options.blockSize);
    std::vector<std::vector<float>> in(static_cast<std::size_t>(record.numInputs),
                                       std::vector<float>(block));
    output.sampleRate = input.sampleRate;
    output.format = input.format;
    output.channels.assign(static_cast<std::size_t>(record.numOutputs), std::vector<float>(frames));
    std::vector<float*> inputs(in.size()), outputs(output.channels.size());
    const std::size_t fileChannels = input.channels.size();
    std::size_t reported = 0;
    for (std::size_t start = 0; start < frames; start += block) {
        const std::size_t n = std::min(block, frames - start);
        for (std::size_t c = 0; c < in.size(); ++c) {
            const std::vector<float>& source = input.channels[std::min(c, fileChannels - 1)];
            std::copy_n(source.begin() + static_cast<long>(start), n, in[c].begin());
            inputs[c] = in[c].data();
        }
        for (std::size_t c = 0; c < outputs.size(); ++c) {
            outputs[c] = output.channels[c].data() + start; // zero: adding starts from silence
        }
        auto process = options.adding ? record.process : record.processReplacing;
        process(plugin.effect(), inputs.data(), outputs.data(), static_cast<VstInt32>(n));
        if (progress && start + n - reported >= frames / 20) {
            reported = start + n;
            progress(reported, frames);
        }
    }
    plugin.dispatch(effMainsChanged, 0, 0);
    return true;
}

} // namespace kel::host
