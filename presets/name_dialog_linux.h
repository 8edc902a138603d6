// The name dialog on Linux, over the editor's frame window `owner`, for the bank's name-dialog
// slot: 1 when a preset was stored under the name given and the slot holds it, 0 when the name
// was refused, -1 when cancelled (or the editor closed meanwhile).
#pragma once

namespace kel::presets {

class KelPresetBank;

int runNameDialog(void* owner, KelPresetBank& bank);

} // namespace kel::presets
