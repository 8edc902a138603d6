#include "editor/kel_prop_page.h"

KelPropPage::KelPropPage(AudioEffect* owner, const PluginDescription& description)
    : AEffEditor(owner), plugin(description) {}

bool KelPropPage::getRect(ERect** out) {
    const EditorLayout& size = layoutFor(layout);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<short>(size.height);
    rect.right = static_cast<short>(size.width);
    *out = &rect;
    return true;
}

bool KelPropPage::open(void* parentWindow) {
    AEffEditor::open(parentWindow);
    return false;
}
