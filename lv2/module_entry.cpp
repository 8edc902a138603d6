// The one export of a plug-in's LV2 module. The build compiles this file once per plug-in, with
// KEL_LV2_MODEL naming the plug-in's model and KEL_LV2_PLUGIN its record in lv2_plugins.h.
#include "lv2/lv2_effect.h"
#include "lv2/lv2_plugins.h"

namespace {

constexpr LV2_Descriptor kDescriptor =
    kel::lv2::Lv2Effect<KEL_LV2_MODEL>::descriptor(KEL_LV2_PLUGIN.uri);

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
