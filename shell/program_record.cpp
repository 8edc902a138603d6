#include "shell/program_record.h"

#include <cmath>
#include <cstring>

#include "model/parameter_values.h"
#include "shell/host_text.h"

namespace kel::shell {

using namespace kel::model;

void ProgramRecord::fill(const BuiltInPreset& preset) {
    setName(preset.name);
    values[kEffectParameter] = 0.0f;
    for (int i = 0; i < kPresetValueCount; ++i) {
        const int index = kGainParameter + i;
        values[index] = toParameterValue(preset.values[i], 0, kParameterTable[index].span);
    }
    modified = false;
}

void ProgramRecord::setName(const char* text) {
    std::strncpy(nameField, text, kNameSize - 1);
    nameField[kNameSize - 1] = 0;
}

void ProgramRecord::getName(char* buffer) const {
    copyHostText(buffer, kProgramNameCapacity, nameField);
}

void ProgramRecord::setValue(int index, float value) {
    if (index < 0 || index >= kNumParameters) {
        return;
    }
    const float stored = values[index];
    // A NaN stored back onto itself is no change either.
    if (value == stored || (std::isnan(value) && std::isnan(stored))) {
        return;
    }
    values[index] = value;
    if (index != kEffectParameter) {
        modified = true;
    }
}

float ProgramRecord::getValue(int index) const {
    return (index >= 0 && index < kNumParameters) ? values[index] : 0.0f;
}

} // namespace kel::shell
