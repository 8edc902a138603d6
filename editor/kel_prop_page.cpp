#include "editor/kel_prop_page.h"

#include <new>

KelPropPage::KelPropPage(AudioEffectX* owner, const PluginDescription& description)
    : AEffGUIEditor(owner), plugin(description),
      presetBank(new (std::nothrow) KelPresetBank(description)) {
    if (presetBank) {
        presetBank->setEffect(owner);
    }
}

KelPropPage::~KelPropPage() = default;

bool KelPropPage::getRect(ERect** out) {
    const EditorLayout& size =
        layoutFor(presetBank ? presetBank->layoutSelector() : kWideLayoutSelector);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<short>(size.height);
    rect.right = static_cast<short>(size.width);
    *out = &rect;
    return true;
}

bool KelPropPage::open(void* parentWindow) {
    AEffGUIEditor::open(parentWindow);
    return false;
}

void KelPropPage::close() {
    if (presetBank) {
        presetBank->saveQuickSlots();
    }
    AEffGUIEditor::close();
}
