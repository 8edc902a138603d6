// What tells the two plug-ins of the bundle apart, as data: names, texts and built-in presets,
// and the identity both share. Each plug-in defines one description in plugins/<name>/; every
// plug-in format reads it from here.
#pragma once

#include <cstdint>

namespace kel::model {

inline constexpr const char* kVendorName = "Sonadrix";
inline constexpr const char* kProductName = "Orvalle Vol.2";
inline constexpr const char* kVendorHomepage = "https://sonadrix.com/";
inline constexpr const char* kVendorEmail = "support@sonadrix.com";
inline constexpr std::int32_t kVendorVersion = 1;

// A preset carries one integer per parameter 1 to 3: Gain 0..100, tone 0..15, Output 0..100.
inline constexpr int kPresetValueCount = 3;
inline constexpr int kBuiltInCount = 5;
inline constexpr int kMaxPresetNameLength = 64;

struct BuiltInPreset {
    const char* name; // at most kMaxPresetNameLength characters
    int values[kPresetValueCount];
};

struct PluginDescription {
    const char* effectName;        // what the host lists
    const char* toneParameterName; // name of parameter 2
    BuiltInPreset builtIns[kBuiltInCount];
    int storedPresetSize; // bytes of a user preset in the registry; tells the plug-ins' presets
                          // apart
    const char* welcomeText;
    const char* aboutText;
    const char* summary;              // one sentence on what the plug-in is
    const char* toneParameterComment; // what parameter 2 does, as a tooltip says it
};

} // namespace kel::model
