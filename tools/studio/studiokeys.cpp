#include "studiokeys.h"

#include <QKeyEvent>
#include <QKeySequence>

#include <algorithm>
#include <array>

namespace StudioKeys {

namespace {

// Only these modifiers tell keys apart; any modifiers: the key alone decides
// (as the show does, which looks at no modifier).
constexpr Qt::KeyboardModifiers told = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
constexpr int anyModifiers = -1;

struct Key
{
    int key;
    int modifiers; // a Qt::KeyboardModifiers value, or anyModifiers
    Action action;
};

// Rows with modifiers come first: Alt+Left nudges a beat, Left alone (or
// with other modifiers) is the show's.
constexpr std::array<Key, 26> keys{{
    {Qt::Key_Z, Qt::ControlModifier, Action::Undo},
    {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, Action::Redo},
    {Qt::Key_S, Qt::ControlModifier, Action::SaveBeats},
    {Qt::Key_Left, Qt::AltModifier, Action::NudgeBack},
    {Qt::Key_Right, Qt::AltModifier, Action::NudgeOn},
    {Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier, Action::NudgeBackMore},
    {Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier, Action::NudgeOnMore},
    {Qt::Key_Left, Qt::AltModifier | Qt::ControlModifier, Action::NudgeBack},
    {Qt::Key_Right, Qt::AltModifier | Qt::ControlModifier, Action::NudgeOn},
    {Qt::Key_Left, Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier, Action::NudgeBackMore},
    {Qt::Key_Right, Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier, Action::NudgeOnMore},
    {Qt::Key_BracketLeft, anyModifiers, Action::LoopStart},
    {Qt::Key_BracketRight, anyModifiers, Action::LoopEnd},
    {Qt::Key_L, anyModifiers, Action::Loop},
    {Qt::Key_Plus, anyModifiers, Action::ScaleUp},
    {Qt::Key_Equal, anyModifiers, Action::ScaleUp},
    {Qt::Key_Minus, anyModifiers, Action::ScaleDown},
    {Qt::Key_H, anyModifiers, Action::HeadsUp},
    {Qt::Key_T, anyModifiers, Action::Strip},
    {Qt::Key_Comma, anyModifiers, Action::FrameBack},
    {Qt::Key_Period, anyModifiers, Action::FrameOn},
    {Qt::Key_F11, anyModifiers, Action::FullScreen},
    {Qt::Key_F12, anyModifiers, Action::Screenshot},
    {Qt::Key_B, anyModifiers, Action::TapBeat},
    {Qt::Key_Delete, anyModifiers, Action::DeleteBeat},
    {Qt::Key_Backspace, anyModifiers, Action::DeleteBeat},
}};

} // namespace

Press actionFor(const QKeyEvent &event)
{
    // The platform's own undo and redo keys, whatever they are.
    if (event.matches(QKeySequence::Undo))
        return {Action::Undo};
    if (event.matches(QKeySequence::Redo))
        return {Action::Redo};
    const int modifiers = int(event.modifiers() & told);
    const auto row = std::find_if(keys.cbegin(), keys.cend(), [&](const Key &key) {
        return key.key == event.key() && (key.modifiers == anyModifiers || key.modifiers == modifiers);
    });
    if (row != keys.cend())
        return {row->action};
    const KeyMap::Binding show = KeyMap::forKey(event.key());
    if (show.action != KeyMap::Action::None)
        return {Action::Show, show};
    return {};
}

bool needsTransport(const Press &press)
{
    switch (press.action) {
    case Action::Show:
        return press.show.action != KeyMap::Action::Quit;
    case Action::FrameBack:
    case Action::FrameOn:
    case Action::LoopStart:
    case Action::LoopEnd:
    case Action::Loop:
    case Action::TapBeat:
        return true;
    default:
        return false;
    }
}

} // namespace StudioKeys
