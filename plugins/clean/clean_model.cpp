#include "plugins/clean/clean_model.h"

#include "model/level_mapping.h"

namespace kel::clean {

using namespace kel::dsp;
using namespace kel::model;

CleanModel::Settings CleanModel::deriveSettings(int gain, int bright, int output) {
    const float gainDb = settingDecibels(gain, 60.0, -40.0);
    Settings settings;
    settings.level = outputLevel(output);
    settings.drive = 5.0f * kel::dsp::decibelsToGain(gainDb);
    settings.bright = static_cast<float>(bright);
    return settings;
}

void CleanModel::configure(CleanPreamp& preamp, const Settings& settings) {
    preamp.setDrive(settings.drive);
    preamp.setLevel(settings.level);
    preamp.setBright(settings.bright);
}

} // namespace kel::clean
