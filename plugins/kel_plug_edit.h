// The effect with its editor: what the entry point creates.
#pragma once

#include <cstring>
#include <new>

#include "editor/kel_prop_page.h"
#include "shell/entry.h"
#include "shell/kel_dsp.h"

namespace kel::plugins {

template <class Model>
class KelPlugEdit : public shell::KelDSP<Model> {
public:
    explicit KelPlugEdit(audioMasterCallback host) : shell::KelDSP<Model>(host) {
        this->setUniqueID(shell::kUniqueId);
        auto* page = new (std::nothrow) editor::KelPropPage(this, Model::description);
        if (!page) {
            shell::creationFailed = true;
            return;
        }
        // Our own rigs (vendor "Sonadrix", a product whose eighth character is G or B) start
        // in the tall pedal layout.
        char text[256] = {};
        if (!host) {
            return;
        }
        host(nullptr, audioMasterGetVendorString, 0, 0, text, 0.0f);
        text[sizeof(text) - 1] = 0;
        if (std::strcmp(text, model::kVendorName) != 0) {
            return;
        }
        std::memset(text, 0, sizeof(text));
        host(nullptr, audioMasterGetProductString, 0, 0, text, 0.0f);
        text[sizeof(text) - 1] = 0;
        if (std::strlen(text) >= 8 && std::strchr("GgBb", text[7]) && page->bank()) {
            page->bank()->setLayoutSelector(presets::kTallLayoutSelector);
        }
    }

    // Every change, the program marker included, also goes to the editor.
    void setParameter(VstInt32 index, float value) override {
        shell::KelDSP<Model>::setParameter(index, value);
        if (this->editor) {
            this->editor->setParameter(index, value);
        }
    }
};

} // namespace kel::plugins
