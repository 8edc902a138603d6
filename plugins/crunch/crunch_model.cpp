#include "plugins/crunch/crunch_model.h"

#include "plugins/level_mapping.h"

namespace {
// The fixed parts of the crunch voicing.
constexpr float kInputGain = 1.0f;
constexpr float kStageGain = 18.0f;      // inverting gain in front of the third waveshaper
constexpr float kMidFrequency = 2000.0f; // Hz, centre of the Mid Boost bell
constexpr float kMidQ = 0.2f;            // a bell several octaves wide
} // namespace

CrunchModel::Settings CrunchModel::deriveSettings(int gain, int midBoost, int output) {
    const float gainDb = settingDecibels(gain, 30.0, 0.0);
    Settings settings;
    settings.level = outputLevel(output);
    settings.drive = 7.0f * decibelFactor(gainDb);
    settings.mid = static_cast<float>(midBoost);
    return settings;
}

void CrunchModel::configure(CrunchPreamp& preamp, const Settings& settings) {
    preamp.setInputGain(kInputGain);
    preamp.setDrive(settings.drive);
    preamp.setStageGain(kStageGain);
    preamp.setMidFrequency(kMidFrequency);
    preamp.setMidQ(kMidQ);
    preamp.setLevel(settings.level);
    preamp.setMidGain(settings.mid);
}
