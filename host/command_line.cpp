#include "host/command_line.h"

#include <algorithm>

namespace kel::host {

std::string CommandLine::get(const std::string& name, const std::string& fallback) const {
    auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
}

std::vector<std::string> CommandLine::all(const std::string& name) const {
    std::vector<std::string> values;
    auto range = options.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) {
        values.push_back(it->second);
    }
    return values;
}

bool parseCommandLine(const std::vector<std::string>& args,
                      const std::vector<std::string>& valueOptions, CommandLine& out,
                      std::string& error, const std::vector<std::string>& pairOptions) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            out.positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const std::size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool takesValue =
            std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end();
        const bool takesPair =
            std::find(pairOptions.begin(), pairOptions.end(), name) != pairOptions.end();
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option --" + name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (takesPair && !inlineValue) {
            if (i + 2 >= args.size()) {
                error = "option --" + name + " needs two values";
                return false;
            }
            value = args[i + 1] + " " + args[i + 2];
            i += 2;
        }
        out.options.emplace(name, value);
    }
    return true;
}

} // namespace kel::host
