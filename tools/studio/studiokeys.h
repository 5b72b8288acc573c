#ifndef STUDIOKEYS_H
#define STUDIOKEYS_H

#include "keymap.h"

#include <Qt>

class QKeyEvent;

// The studio's keys: the show's own (the show's key map: they move the show
// time as in the show), and a table of the studio's, by key and modifiers.
namespace StudioKeys {

enum class Action {
    None,
    Show, // a key of the show's key map
    FrameBack, FrameOn, LoopStart, LoopEnd, Loop, ScaleUp, ScaleDown,
    HeadsUp, Strip, FullScreen, Screenshot,
    TapBeat, DeleteBeat, NudgeBack, NudgeOn, NudgeBackMore, NudgeOnMore, Undo, Redo, SaveBeats,
};

struct Press
{
    Action action = Action::None;
    KeyMap::Binding show = KeyMap::none; // what a key of the show does
};

// What a key press does; None for a key the studio leaves alone.
Press actionFor(const QKeyEvent &event);

// Whether it moves the show time or the music, and so waits for the
// first picture (the show time and the music start with it).
bool needsTransport(const Press &press);

} // namespace StudioKeys

#endif // STUDIOKEYS_H
