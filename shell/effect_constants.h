// What a VST 2.x host sees of the bundle beyond the format-neutral model: the unique ID, the
// program count and the pseudo-parameter indices around the four parameters.
#pragma once

#include "model/parameters.h"
#include "shell/vst_interface.h"

namespace kel::shell {

// Both plug-ins report the same ID; hosts that key plug-ins by ID may list only one of them.
inline constexpr VstInt32 kUniqueId = fourCharCode('K', 'R', 'X', '4');
inline constexpr VstInt32 kNumPrograms = 9;

// Sent through setParameter by a program change; stores nothing, tells the editor.
inline constexpr VstInt32 kProgramMarker = 7;
// Readable with getParameter: 1.0 while bypassed.
inline constexpr VstInt32 kBypassReadBack = 8;

} // namespace kel::shell
