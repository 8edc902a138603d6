#include "editor/kel_prop_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "editor/editor_platform.h"
#include "model/parameter_values.h"
#include "model/parameters.h"
#include "shell/effect_constants.h"
#include "ui/menu_commands.h"
#include "widgets/bitmap.h"
#include "widgets/buttons.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/knob.h"
#include "widgets/param_display.h"

namespace kel::editor {

using namespace kel::presets;
using namespace kel::model;
using namespace kel::shell;

using namespace VSTGUI;

namespace {

constexpr const char* kEditorMessageCaption = "Sonadrix VST Plug-In";
constexpr const char* kHelpFailureText =
    "Please refer to the documentation of the host application to learn more \n"
    "           about all parameters and settings of Sonadrix effects.";
constexpr int kStatusTextSize = 128; // 127 characters and the terminator
constexpr CColor kErrorColor{255, 0, 0, 0};
// A right click on a P button opens the slot menu at the button's left edge, 5 pixels below
// the top of the button row; the bank drops it 10 pixels further, to the button's lower edge.
constexpr int kSlotMenuTop = kButtonRowTop + 5;
constexpr int kSlotCount = KelPresetBank::kSlotCount;

int slotOfTag(long tag) {
    return static_cast<int>(tag) - kFirstSlotTag + 1;
}

CRect placeOf(const WidgetPlacement& place) {
    return CRect::fromSize({place.x, place.y}, place.width, place.height);
}

} // namespace

KelPropPage::KelPropPage(AudioEffectX* owner, const PluginDescription& description)
    : AEffGUIEditor(owner), plugin(description),
      presetBank(new (std::nothrow) KelPresetBank(description)) {
    if (presetBank) {
        presetBank->setEffect(&link());
    }
}

KelPropPage::KelPropPage(EffectLink& editorLink, const PluginDescription& description)
    : AEffGUIEditor(editorLink), plugin(description),
      presetBank(new (std::nothrow) KelPresetBank(description)) {
    if (presetBank) {
        presetBank->setEffect(&link());
    }
}

KelPropPage::~KelPropPage() {
    if (frame) {
        close();
    }
}

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

CBitmap* KelPropPage::loadedBitmap(int id) const {
    for (int i = 0; i < kWindowBitmaps; ++i) {
        if (bitmapIds[i] == id) {
            return bitmaps[i];
        }
    }
    return nullptr;
}

CControl* KelPropPage::widget(EditorWidget which) const {
    return which >= 0 && which < kEditorWidgetCount ? widgets[which] : nullptr;
}

CControl* KelPropPage::slotButton(int slotNumber) const {
    return widgets[kP1Widget + slotNumber - 1];
}

const char* KelPropPage::statusText() const {
    return statusDisplay ? statusDisplay->getText() : "";
}

bool KelPropPage::statusIsError() const {
    return statusDisplay && statusDisplay->getFontColor() == kErrorColor;
}

bool KelPropPage::open(void* parentWindow) {
    layout = &layoutFor(presetBank ? presetBank->layoutSelector() : kWideLayoutSelector);
    parent = parentWindow;
    AEffGUIEditor::open(parentWindow);
    if (!presetBank || frame) {
        return false;
    }

    int count = 0;
    auto load = [&](int id) {
        if (id != 0 && !loadedBitmap(id) && count < kWindowBitmaps) {
            bitmapIds[count] = id;
            bitmaps[count++] = new (std::nothrow) CBitmap(id);
        }
    };
    load(layout->backgroundBitmap);
    for (const WidgetPlacement& place : layout->widgets) {
        load(place.bitmap);
        load(place.handleBitmap);
    }
    CBitmap* background = loadedBitmap(layout->backgroundBitmap);
    rect = {0, 0, static_cast<std::int16_t>(background ? background->getHeight() : 0),
            static_cast<std::int16_t>(background ? background->getWidth() : 0)};
    if (!background) {
        releaseWindow();
        return false;
    }

    frame = new (std::nothrow)
        CFrame(CRect(0, 0, background->getWidth(), background->getHeight()), parentWindow, this);
    if (!frame || !frame->isOpen()) {
        releaseWindow();
        return false;
    }
    frame->setBackground(background);
    presetBank->setOwnerWindow(frame->getSystemWindow());

    for (int which = 0; which < kEditorWidgetCount; ++which) {
        const WidgetPlacement& place = layout->widgets[which];
        const CRect size = placeOf(place);
        CBitmap* bitmap = loadedBitmap(place.bitmap);
        CControl* control = nullptr;
        switch (which) {
        case kFootswitchWidget:
        case kOptionsWidget:
            control = new (std::nothrow)
                CKickButton(size, this, place.tag, place.height, bitmap, CPoint());
            break;
        case kLedWidget:
            control = new (std::nothrow)
                CMovieBitmap(size, this, place.tag, 2, place.height, bitmap, CPoint());
            break;
        case kCompareWidget:
            control = new (std::nothrow)
                CMovieButton(size, this, place.tag, place.height, bitmap, CPoint());
            break;
        case kStatusWidget:
            statusDisplay = new (std::nothrow)
                CTextEdit(size, this, place.tag, plugin.welcomeText, nullptr, kShadowText);
            control = statusDisplay;
            break;
        case kGainKnobWidget:
        case kToneKnobWidget:
        case kOutputKnobWidget:
            control = new (std::nothrow)
                CKnob(size, this, place.tag, bitmap, loadedBitmap(place.handleBitmap), CPoint());
            break;
        default:
            control = new (std::nothrow) COnOffButton(size, this, place.tag, bitmap);
            break;
        }
        widgets[which] = control;
        if (control && which != kCompareWidget) {
            frame->addView(control);
        }
    }
    if (std::find(std::begin(widgets), std::end(widgets), nullptr) != std::end(widgets)) {
        releaseWindow();
        return false;
    }

    // Round knob bodies and the LED are keyed on white over the skin.
    widgets[kLedWidget]->setTransparency(true);
    widgets[kLedWidget]->setValue(link().parameter(kEffectParameter));
    const int* defaults = plugin.builtIns[0].values; // the "Default" preset
    for (int i = 0; i < kPresetValueCount; ++i) {
        CControl* knob = widgets[kGainKnobWidget + i];
        const int parameter = kGainParameter + i;
        knob->setTransparency(true);
        knob->setValue(link().parameter(parameter));
        knob->setDefaultValue(toParameterValue(defaults[i], 0, kParameterTable[parameter].span));
    }
    statusDisplay->setFont(kNormalFontSmall);
    statusDisplay->setFontColor(kWhiteCColor);
    statusDisplay->setBackColor(kBlackCColor);
    statusDisplay->setFrameColor(kBlackCColor);
    statusDisplay->setShadowColor(kBlackCColor);
    statusDisplay->setHoriAlign(kLeftText);
    statusDisplay->setMouseEnabled(false);

    slot = 0;
    rememberedSlot = 0;
    comparing = false;
    compareShown = false;
    modified = false;
    for (HandedOver& change : handedOver) {
        change.order.store(0);
    }
    windowThread.store(platform::currentThreadId());
    windowOpen.store(true);
    return true;
}

void KelPropPage::close() {
    windowOpen.store(false);
    if (presetBank) {
        presetBank->saveQuickSlots();
    }
    releaseWindow();
}

void KelPropPage::releaseWindow() {
    windowOpen.store(false);
    destroyFrame();
    // The compare button is ours also while the frame shows it (the frame holds a reference of
    // its own then); the other widgets went with the frame.
    if (widgets[kCompareWidget]) {
        widgets[kCompareWidget]->forget();
    }
    for (CControl*& control : widgets) {
        control = nullptr;
    }
    statusDisplay = nullptr;
    compareShown = false;
    for (int i = 0; i < kWindowBitmaps; ++i) {
        if (bitmaps[i]) {
            bitmaps[i]->forget();
        }
        bitmaps[i] = nullptr;
        bitmapIds[i] = 0;
    }
    if (presetBank) {
        presetBank->setOwnerWindow(nullptr);
    }
}

void KelPropPage::redraw(CControl* control, CDrawContext* context) {
    if (!control) {
        return;
    }
    if (context) {
        control->draw(context);
    } else {
        control->setDirty();
    }
}

void KelPropPage::setParameter(VstInt32 index, float value) {
    handOver(index, value, true);
}

void KelPropPage::setOpeningParameter(VstInt32 index, float value) {
    handOver(index, value, false);
}

void KelPropPage::handOver(VstInt32 index, float value, bool announced) {
    if (!windowOpen.load()) {
        return;
    }
    if (platform::currentThreadId() == windowThread.load()) {
        applyParameter(index, value, announced);
        return;
    }
    // Off the window's thread nothing is touched but the hand-over; the window's thread forms
    // the texts and draws at its next idle.
    if (index >= 0 && index < kHandOverSlots) {
        handedOver[index].value.store(value);
        handedOver[index].announced.store(announced);
        handedOver[index].order.store(++handOverCount);
    }
    postUpdate();
}

void KelPropPage::applyHandedOver() {
    struct Change {
        std::uint32_t order;
        VstInt32 index;
        float value;
        bool announced;
    };
    Change changes[kHandOverSlots];
    int count = 0;
    for (int index = 0; index < kHandOverSlots; ++index) {
        const std::uint32_t order = handedOver[index].order.exchange(0);
        if (order != 0) {
            changes[count++] = {order, index, handedOver[index].value.load(),
                                handedOver[index].announced.load()};
        }
    }
    // In the order they came, so the status display ends with the latest change (at most eight:
    // an insertion sort).
    for (int i = 1; i < count; ++i) {
        for (int j = i;
             j > 0 && static_cast<std::int32_t>(changes[j].order - changes[j - 1].order) < 0; --j) {
            std::swap(changes[j], changes[j - 1]);
        }
    }
    for (int i = 0; i < count; ++i) {
        applyParameter(changes[i].index, changes[i].value, changes[i].announced);
    }
}

void KelPropPage::applyParameter(VstInt32 index, float value, bool announced) {
    if (!frame) {
        return;
    }
    const float v = link().parameter(index);
    switch (index) {
    case kEffectParameter:
        widgets[kLedWidget]->setValue(v);
        if (announced) {
            showStatus(kEffectParameter, v);
        }
        break;
    case kGainParameter:
    case kToneParameter:
    case kOutputParameter:
        widgets[kGainKnobWidget + index - kGainParameter]->setValue(v);
        if (announced) {
            showStatus(index, v);
            modified = true;
        }
        break;
    case kProgramMarker: {
        showStatus(kProgramMarker, value);
        if (comparing) {
            slot = 0;
        }
        modified = true;
        CDrawContext context(frame, nullptr, frame->getSystemWindow());
        for (int knob = kGainKnobWidget; knob <= kOutputKnobWidget; ++knob) {
            widgets[knob]->setDirty();
            if (!frame->isFirstDrawPending()) {
                widgets[knob]->draw(&context);
            }
        }
        break;
    }
    default:
        break;
    }
    postUpdate();
}

void KelPropPage::idle() {
    if (windowOpen.load()) {
        applyHandedOver();
        // A damaged file of the user presets, set aside by the store: said in red.
        const std::string damage = presetBank ? presetBank->takeDamageReport() : std::string();
        if (!damage.empty() && statusDisplay) {
            statusDisplay->setFontColor(kErrorColor);
            statusDisplay->setText((" " + damage).c_str());
        }
    }
    AEffGUIEditor::idle();
}

void KelPropPage::update() {
    if (!frame || !presetBank) {
        return;
    }
    const std::string programName = link().programName();
    for (int n = 1; n <= kSlotCount; ++n) {
        CControl* button = slotButton(n);
        if (button->getValue() < 1.0f) {
            continue;
        }
        char name[kPresetNameBufferSize] = {};
        presetBank->getSlotName(n, name);
        if (programName != name) {
            button->setValue(0.0f);
        }
    }
}

void KelPropPage::showStatus(int code, float x) {
    if (!statusDisplay) {
        return;
    }
    statusDisplay->setFontColor(code >= 0 ? kWhiteCColor : kErrorColor);
    char text[kStatusTextSize] = {};
    char name[kPresetNameBufferSize] = {};
    switch (code) {
    case kCantDeleteStatus:
        std::snprintf(text, sizeof(text), " Can't delete preset!");
        break;
    case kCantSaveStatus:
        std::snprintf(text, sizeof(text), " Can't save preset!");
        break;
    case kCantLoadStatus:
        std::snprintf(text, sizeof(text), " Can't load preset!");
        break;
    case kEffectParameter:
        std::snprintf(text, sizeof(text), "%s",
                      link().parameter(kEffectParameter) == 1.0f ? " Effect Off" : " Effect On");
        break;
    case kGainParameter:
    case kToneParameter:
        std::snprintf(text, sizeof(text), " %s: %.1f %s",
                      code == kGainParameter ? kParameterTable[code].name
                                             : plugin.toneParameterName,
                      static_cast<double>(toPresetValue(x, 0, kParameterTable[code].span)),
                      kParameterTable[code].unit);
        break;
    case kOutputParameter:
        std::snprintf(text, sizeof(text), " %s: %.f %s", kParameterTable[code].name,
                      static_cast<double>(toPresetValue(x, 0, kParameterTable[code].span)),
                      kParameterTable[code].unit);
        break;
    case kProgramMarker:
        if (x == 0.0f) {
            std::snprintf(text, sizeof(text), "%s", plugin.welcomeText);
        } else if (presetBank &&
                   presetBank->getPresetName(toPresetValue(x, 0, kBuiltInCount), name)) {
            std::snprintf(text, sizeof(text), " Host: %s", name);
        } else {
            // Without the bank's name: the program the host selected, by its own name.
            std::snprintf(text, sizeof(text), " Host: %.64s", link().programName().c_str());
        }
        break;
    case kCompareTag:
        if (comparing && presetBank && presetBank->getSlotName(slot, name)) {
            std::snprintf(text, sizeof(text), " Comp. to %s", name);
        } else if (comparing) {
            std::snprintf(text, sizeof(text), " Comp. to ");
        } else {
            std::snprintf(text, sizeof(text), " Settings restored");
        }
        break;
    default:
        if (code >= kFirstSlotTag && code < kFirstSlotTag + kSlotCount && presetBank) {
            const int n = slotOfTag(code);
            presetBank->getSlotName(n, name);
            if (comparing) {
                std::snprintf(text, sizeof(text), " Comp. to %s", name);
            } else {
                std::snprintf(text, sizeof(text), " P%d: %s", n, name);
            }
        }
        break;
    }
    statusDisplay->setText(text);
}

void KelPropPage::valueChanged(CDrawContext* context, CControl* control) {
    if (!frame || !control) {
        return;
    }
    const long tag = control->getTag();
    const float value = control->getValue();
    long buttons = 0;
    CPoint where;
    if (context) {
        buttons = context->getMouseButtons();
        context->getMouseLocation(where);
    }
    switch (tag) {
    case kFootswitchTag:
        redraw(control, context);
        if (value == 1.0f) {
            // The press switches; the release (0) does nothing.
            const float on = link().parameter(kEffectParameter);
            link().setParameterAutomated(kEffectParameter, 1.0f - on);
        }
        break;
    case kGainKnobTag:
    case kToneKnobTag:
    case kOutputKnobTag:
        redraw(control, context);
        link().setParameterAutomated(static_cast<VstInt32>(tag), value);
        modified = true;
        break;
    case kCompareTag:
        switchCompare();
        redraw(control, context);
        showStatus(kCompareTag, 0.0f);
        refreshSlotButtons(context);
        break;
    case kOptionsTag:
        redraw(control, context);
        if (value == 1.0f) {
            showOptionsMenu(where.h, where.v);
        }
        break;
    default:
        if (tag >= kFirstSlotTag && tag < kFirstSlotTag + kSlotCount) {
            clickSlot(slotOfTag(tag), buttons, where);
            refreshSlotButtons(context);
        }
        break;
    }
    updateCompareButton(static_cast<int>(tag), context);
}

void KelPropPage::controlRightClicked(CDrawContext* context, CControl* control) {
    if (!frame || !control) {
        return;
    }
    const int n = slotOfTag(control->getTag());
    if (n < 1 || n > kSlotCount) {
        return;
    }
    showSlotMenu(n, kButtonRowLeft + kButtonWidth * n, kSlotMenuTop);
    // What the menu loaded shows at once: the lit button and the compare button.
    refreshSlotButtons(context);
    updateCompareButton(static_cast<int>(control->getTag()), context);
}

void KelPropPage::clickSlot(int n, long buttons, const CPoint& where) {
    CControl* button = slotButton(n);
    // A click by itself neither lights nor darkens the button.
    button->setValue(n == slot ? 1.0f : 0.0f);
    button->setDirty();
    if (comparing) {
        if (presetBank->recallSlot(n)) {
            slot = n;
            showStatus(kFirstSlotTag + n - 1, 0.0f);
        }
        return;
    }
    if (buttons & kShift) {
        if (presetBank->storeSlot(n)) {
            slot = n;
            modified = false;
            showStatus(kFirstSlotTag + n - 1, 0.0f);
        } else {
            showStatus(kCantSaveStatus, 0.0f);
        }
        return;
    }
    if (buttons & (kRButton | kControl | kAlt)) {
        showSlotMenu(n, where.h, where.v);
        return;
    }
    slot = n;
    if (presetBank->recallSlot(n)) {
        rememberedSlot = n;
        modified = false;
        showStatus(kFirstSlotTag + n - 1, 0.0f);
    } else {
        slot = rememberedSlot;
        showStatus(kCantLoadStatus, 0.0f);
    }
}

// The re-entry contract of compare. The switch runs on the window's thread, between a click on
// the compare button and its status message. Only recallSlot calls back into this editor, at
// once and on this thread, through the effect's setParameter: recallSlot(0) sets parameters 1 to
// 3; a slot's recall sets them automated (the host hears of each through its automation
// callback), for a built-in preset after selecting its program, which passes every parameter
// and then the program marker. Each call lands in applyParameter, which moves the knob, writes
// the parameter's message (the compare message replaces it afterwards), sets `modified` (set
// again here after the recall) and, for the program marker, clears the current slot when
// `comparing` is set: so `comparing` is clear while the slot's own preset is recalled.
// storeSlot(0) only reads the effect's parameters. Nothing in the switch runs a message loop, so
// no idle, menu, dialog, open or close of this editor comes in between; the host must not call
// them from its automation callback either.
void KelPropPage::switchCompare() {
    if (!comparing) {
        // The changed settings wait in the compare scratch while the slot's preset plays.
        comparing = true;
        presetBank->storeSlot(0);
        comparing = false;
        presetBank->recallSlot(slot);
        comparing = true;
        rememberedSlot = slot;
        modified = false;
    } else {
        presetBank->recallSlot(0);
        comparing = false;
        slot = rememberedSlot;
        modified = true;
    }
}

void KelPropPage::refreshSlotButtons(CDrawContext* context) {
    for (int n = 1; n <= kSlotCount; ++n) {
        slotButton(n)->setValue(n == slot ? 1.0f : 0.0f);
        redraw(slotButton(n), context);
    }
}

void KelPropPage::updateCompareButton(int tag, CDrawContext* context) {
    if (!frame || slot == 0 || tag == kCompareTag || comparing) {
        return;
    }
    CControl* compare = widgets[kCompareWidget];
    if (modified && !compareShown) {
        compare->remember(); // the frame's reference; ours stays
        if (frame->addView(compare)) {
            compareShown = true;
            redraw(compare, context);
        } else {
            compare->forget();
        }
    } else if (!modified && compareShown) {
        compareShown = false;
        frame->removeView(compare, true);
        // The blank button of the skin shows again.
        if (context) {
            frame->drawRect(context, compare->getViewSize());
        } else {
            frame->setDirty();
        }
    }
}

int KelPropPage::showSlotMenu(int n, int x, int y) {
    switch (presetBank->trackSlotMenu(n, x, y)) {
    case SlotMenuResult::kLoaded:
    case SlotMenuResult::kOverwritten:
    case SlotMenuResult::kDeleted:
        slot = n;
        modified = false;
        showStatus(kFirstSlotTag + n - 1, 0.0f);
        return n;
    case SlotMenuResult::kStoreAsNew:
        rememberedSlot = n;
        if (presetBank->showNameDialog(n) != 1) {
            return 0;
        }
        if (presetBank->recallSlot(rememberedSlot)) {
            slot = n;
            modified = false;
            return n;
        }
        showStatus(kCantSaveStatus, 0.0f);
        return 0;
    case SlotMenuResult::kLoadFailed:
        showStatus(kCantLoadStatus, 0.0f);
        return 0;
    case SlotMenuResult::kOverwriteFailed:
        showStatus(kCantSaveStatus, 0.0f);
        return 0;
    case SlotMenuResult::kDeleteFailed:
        showStatus(kCantDeleteStatus, 0.0f);
        return 0;
    case SlotMenuResult::kDismissed:
        return 0;
    }
    return 0;
}

void KelPropPage::showOptionsMenu(int x, int y) {
    const int result = presetBank->trackOptionsMenu(x, y);
    if (result == -KEL_CMD_HELP) {
        messageBox(kHelpFailureText);
    } else if (result == KEL_CMD_ABOUT) {
        messageBox(plugin.aboutText);
    }
}

void KelPropPage::messageBox(const char* text) const {
    void* owner = platform::messageBoxOwner(parent, frame ? frame->getSystemWindow() : nullptr);
    presetBank->userInterface().message(owner, text, kEditorMessageCaption,
                                        MessageKind::Information);
}

} // namespace kel::editor
