// Command-line arguments of our host: positional arguments and "--name value" / "--flag" options.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kel::host {

struct CommandLine {
    std::vector<std::string> positional;
    std::multimap<std::string, std::string> options; // name without "--"; "" for a flag

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string get(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> all(const std::string& name) const;
};

// Options listed in valueOptions take the next argument as their value, those in pairOptions the
// next two (kept as "FIRST SECOND"); others are flags. false with a message for an option that
// lacks its values.
bool parseCommandLine(const std::vector<std::string>& args,
                      const std::vector<std::string>& valueOptions, CommandLine& out,
                      std::string& error, const std::vector<std::string>& pairOptions = {});

} // namespace kel::host
