// The studio's keys, as its help lists them: the show's own keys act as in
// the show whatever the modifiers (the show's key map), the studio's by key
// and modifiers, so that Alt+Left nudges a beat while Left and Ctrl+Left
// move the show time; keys of neither do nothing.

#include "datarows.h"
#include "studiokeys.h"

#include <QKeyEvent>
#include <QtTest>

using StudioKeys::Action;
Q_DECLARE_METATYPE(StudioKeys::Action)
Q_DECLARE_METATYPE(KeyMap::Action)

class StudioKeysTest : public QObject
{
    Q_OBJECT

private slots:
    void eachKeyDoesWhatTheHelpSays_data();
    void eachKeyDoesWhatTheHelpSays();
};

void StudioKeysTest::eachKeyDoesWhatTheHelpSays_data()
{
    const int none = Qt::NoModifier;
    const int alt = Qt::AltModifier;
    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    // seconds: what a show key's seek moves the show time by (the show's
    // arrows: 10 s up and down, 1 s right and left).
    addRows<int, int, Action, KeyMap::Action, float>({"key", "modifiers", "action", "show", "seconds"},
            {{"Up", Qt::Key_Up, none, Action::Show, KeyMap::Action::Seek, 10.0f},
             {"Down", Qt::Key_Down, none, Action::Show, KeyMap::Action::Seek, -10.0f},
             {"Left", Qt::Key_Left, none, Action::Show, KeyMap::Action::Seek, -1.0f},
             {"Ctrl+Left is Left", Qt::Key_Left, ctrl, Action::Show, KeyMap::Action::Seek, -1.0f},
             {"Shift+Right is Right", Qt::Key_Right, shift, Action::Show, KeyMap::Action::Seek, 1.0f},
             {"Alt+Left", Qt::Key_Left, alt, Action::NudgeBack, KeyMap::Action::None, 0.0f},
             {"Alt+Right", Qt::Key_Right, alt, Action::NudgeOn, KeyMap::Action::None, 0.0f},
             {"Shift+Alt+Left", Qt::Key_Left, alt | shift, Action::NudgeBackMore, KeyMap::Action::None, 0.0f},
             {"Ctrl+Alt+Right", Qt::Key_Right, alt | ctrl, Action::NudgeOn, KeyMap::Action::None, 0.0f},
             {"Space", Qt::Key_Space, none, Action::Show, KeyMap::Action::Hold, 0.0f},
             {"Return", Qt::Key_Return, none, Action::Show, KeyMap::Action::Restart, 0.0f},
             {"the keypad's Enter", Qt::Key_Enter, none, Action::None, KeyMap::Action::None, 0.0f},
             {"Escape", Qt::Key_Escape, none, Action::Show, KeyMap::Action::Quit, 0.0f},
             {"Ctrl+Z", Qt::Key_Z, ctrl, Action::Undo, KeyMap::Action::None, 0.0f},
             {"Ctrl+Shift+Z", Qt::Key_Z, ctrl | shift, Action::Redo, KeyMap::Action::None, 0.0f},
             {"Z alone", Qt::Key_Z, none, Action::None, KeyMap::Action::None, 0.0f},
             {"Ctrl+S", Qt::Key_S, ctrl, Action::SaveBeats, KeyMap::Action::None, 0.0f},
             {"S alone", Qt::Key_S, none, Action::None, KeyMap::Action::None, 0.0f},
             {"B", Qt::Key_B, none, Action::TapBeat, KeyMap::Action::None, 0.0f},
             {"Delete", Qt::Key_Delete, none, Action::DeleteBeat, KeyMap::Action::None, 0.0f},
             {"Backspace", Qt::Key_Backspace, none, Action::DeleteBeat, KeyMap::Action::None, 0.0f},
             {"[", Qt::Key_BracketLeft, none, Action::LoopStart, KeyMap::Action::None, 0.0f},
             {"]", Qt::Key_BracketRight, none, Action::LoopEnd, KeyMap::Action::None, 0.0f},
             {"L", Qt::Key_L, none, Action::Loop, KeyMap::Action::None, 0.0f},
             {"+", Qt::Key_Plus, none, Action::ScaleUp, KeyMap::Action::None, 0.0f},
             {"= (+ without Shift)", Qt::Key_Equal, none, Action::ScaleUp, KeyMap::Action::None, 0.0f},
             {"-", Qt::Key_Minus, none, Action::ScaleDown, KeyMap::Action::None, 0.0f},
             {",", Qt::Key_Comma, none, Action::FrameBack, KeyMap::Action::None, 0.0f},
             {".", Qt::Key_Period, none, Action::FrameOn, KeyMap::Action::None, 0.0f},
             {"H", Qt::Key_H, none, Action::HeadsUp, KeyMap::Action::None, 0.0f},
             {"T", Qt::Key_T, none, Action::Strip, KeyMap::Action::None, 0.0f},
             {"F11", Qt::Key_F11, none, Action::FullScreen, KeyMap::Action::None, 0.0f},
             {"F12", Qt::Key_F12, none, Action::Screenshot, KeyMap::Action::None, 0.0f},
             {"Q", Qt::Key_Q, none, Action::None, KeyMap::Action::None, 0.0f}});
}

void StudioKeysTest::eachKeyDoesWhatTheHelpSays()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(Action, action);
    QFETCH(KeyMap::Action, show);
    QFETCH(float, seconds);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    const StudioKeys::Press press = StudioKeys::actionFor(event);
    QCOMPARE(press.action, action);
    QCOMPARE(press.show.action, show);
    if (show == KeyMap::Action::Seek)
        QCOMPARE(press.show.seconds, seconds);
    // Only what moves the show time or the music waits for the first picture.
    const bool moves = (action == Action::Show && show != KeyMap::Action::Quit) || action == Action::TapBeat
            || action == Action::LoopStart || action == Action::LoopEnd || action == Action::Loop
            || action == Action::FrameBack || action == Action::FrameOn;
    QCOMPARE(StudioKeys::needsTransport(press), moves);
}

QTEST_MAIN(StudioKeysTest)
#include "tst_studiokeys.moc"
