// The one export of a plug-in's LV2 UI module. The build compiles this file once per plug-in,
// with KEL_LV2_MODEL naming the plug-in's model and KEL_LV2_PLUGIN its record in lv2_plugins.h.
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <string>

#include "lv2/lv2_plugins.h"
#include "lv2ui/editor_instance.h"

namespace {

using kel::lv2ui::EditorInstance;
using kel::lv2ui::HostFeatures;

const std::string kUiUri = kel::lv2::uiUri(KEL_LV2_PLUGIN);

EditorInstance* instanceOf(LV2UI_Handle handle) {
    return static_cast<EditorInstance*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    HostFeatures host;
    host.write = write;
    host.controller = controller;
    for (const LV2_Feature* const* feature = features; feature && *feature; ++feature) {
        const char* uri = (*feature)->URI;
        if (std::strcmp(uri, LV2_UI__parent) == 0) {
            host.parent = (*feature)->data;
        } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
            host.resize = static_cast<const LV2UI_Resize*>((*feature)->data);
        } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
            host.touch = static_cast<const LV2UI_Touch*>((*feature)->data);
        }
    }
    std::unique_ptr<EditorInstance> instance =
        EditorInstance::create(KEL_LV2_MODEL::description, host);
    if (!instance) {
        return nullptr;
    }
    if (widget) {
        *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(instance->widget()));
    }
    return instance.release();
}

void cleanup(LV2UI_Handle handle) {
    delete instanceOf(handle);
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
    instanceOf(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    return instanceOf(handle)->idle();
}

int show(LV2UI_Handle handle) {
    return instanceOf(handle)->show();
}

int hide(LV2UI_Handle handle) {
    return instanceOf(handle)->hide();
}

const LV2UI_Idle_Interface kIdle{idle};
const LV2UI_Show_Interface kShow{show, hide};

const void* extensionData(const char* uri) {
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &kIdle;
    }
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) {
        return &kShow;
    }
    return nullptr;
}

const LV2UI_Descriptor kDescriptor{kUiUri.c_str(), instantiate, cleanup, portEvent, extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
