// One of the nine programs the host sees: a name and the four normalised parameter values.
#pragma once

#include "model/parameters.h"
#include "model/plugin_description.h"

namespace kel::shell {

class ProgramRecord {
public:
    static constexpr int kNameSize = 32; // 31 characters and the terminator

    // Name and values of the built-in preset, Effect on; not modified.
    void fill(const model::BuiltInPreset& preset);

    // Copies at most 31 characters; a longer name is cut.
    void setName(const char* text);
    // Writes the name and its terminator (at most kNameSize bytes).
    void getName(char* buffer) const;
    const char* name() const { return nameField; }

    // Stores a value of parameters 0 to 3; a change of 1 to 3 marks the program modified.
    void setValue(int index, float value);
    float getValue(int index) const;
    bool isModified() const { return modified; }

private:
    char nameField[kNameSize] = {};
    float values[model::kNumParameters] = {};
    bool modified = false;
};

} // namespace kel::shell
