#include "plugins/clean/clean_model.h"
#include "plugins/kel_plug_edit.h"

using namespace kel::plugins;
using namespace kel::clean;
using namespace kel::shell;

// Exported as "main" (see the module definition file).
extern "C" AEffect* VSTCALLBACK kelPluginMain(audioMasterCallback audioMaster) {
    return createEffectInstance<KelPlugEdit<CleanModel>>(audioMaster);
}
