#ifndef KEYMAP_H
#define KEYMAP_H

#include "showtime.h"

#include <cstring>

// The show's keys: one table of what each does, for every shell that runs
// the show. Keys are numbered as Qt numbers them (Qt::Key_Up and so on), so
// the desktop's shells hand their key events' codes over as they come; the
// web page finds a browser key's row by its KeyboardEvent.code. Plain C++,
// no Qt.
namespace KeyMap {

enum class Action {
    None,    // not a key of the show
    Seek,    // moves the show time by `seconds`
    Hold,    // holds the show time, or lets it run on
    Restart, // starts the show timer and the show time again from 0
    Quit,    // ends the show
};

struct Binding
{
    int key;             // as Qt numbers it
    const char *domCode; // the browser's KeyboardEvent.code for the same key
    Action action;
    float seconds;       // what a Seek moves the show time by
};

// The show's keys, numbered as Qt numbers them.
namespace Key {
constexpr int up = 0x01000013;
constexpr int down = 0x01000015;
constexpr int right = 0x01000014;
constexpr int left = 0x01000012;
constexpr int space = 0x20;
constexpr int returnKey = 0x01000004;
constexpr int escape = 0x01000000;
} // namespace Key

// The physical keys: the keypad's Enter (Qt::Key_Enter, "NumpadEnter") is
// not Return and does nothing.
constexpr Binding bindings[] = {
    {Key::up, "ArrowUp", Action::Seek, ShowTime::bigStep},
    {Key::down, "ArrowDown", Action::Seek, -ShowTime::bigStep},
    {Key::right, "ArrowRight", Action::Seek, ShowTime::smallStep},
    {Key::left, "ArrowLeft", Action::Seek, -ShowTime::smallStep},
    {Key::space, "Space", Action::Hold, 0.0f},
    {Key::returnKey, "Enter", Action::Restart, 0.0f},
    {Key::escape, "Escape", Action::Quit, 0.0f},
};

// What a key does; a key not in the table does nothing.
constexpr Binding none{0, "", Action::None, 0.0f};

constexpr Binding forKey(int key)
{
    for (const Binding &binding : bindings)
        if (binding.key == key)
            return binding;
    return none;
}

inline Binding forDomCode(const char *code)
{
    if (code == nullptr)
        return none;
    for (const Binding &binding : bindings)
        if (std::strcmp(binding.domCode, code) == 0)
            return binding;
    return none;
}

} // namespace KeyMap

#endif // KEYMAP_H
