#include "plugins/crunch/crunch_model.h"

#include "model/level_mapping.h"

namespace kel::crunch {

using namespace kel::dsp;
using namespace kel::model;

CrunchModel::Settings CrunchModel::deriveSettings(int gain, int midBoost, int output) {
    const float gainDb = settingDecibels(gain, 30.0, 0.0);
    Settings settings;
    settings.level = outputLevel(output);
    settings.drive = 7.0f * kel::dsp::decibelsToGain(gainDb);
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

} // namespace kel::crunch
