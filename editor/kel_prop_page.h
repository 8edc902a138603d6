// The plug-in's editor object. For now it has a size and a layout but no window: it refuses to
// open, so hosts fall back to their own parameter view.
#pragma once

#include "editor/editor_layout.h"
#include "shell/aeff_editor.h"
#include "shell/plugin_description.h"

class KelPropPage : public AEffEditor {
public:
    KelPropPage(AudioEffect* effect, const PluginDescription& description);

    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;

    int layoutSelector() const { return layout; }
    void setLayoutSelector(int selector) { layout = selector; }

private:
    const PluginDescription& plugin;
    int layout = kWideLayoutSelector;
};
