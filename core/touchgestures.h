#ifndef TOUCHGESTURES_H
#define TOUCHGESTURES_H

#include "keymap.h"

#include <cmath>

// The show's keys on a touch screen: a tap holds the show time or lets it
// run on (Space), a swipe seeks as the arrow keys do (right and left a
// second, up and down ten), a double tap starts the show again (Return).
// Each gesture stands for its key, which the key map (keymap.h) turns into
// what the key does. Fed one finger's touches with their times in
// milliseconds, from any clock that runs on. Plain C++, no browser.
class TouchGestures
{
public:
    // A finger that moves less than this (CSS pixels) taps; one that moves
    // at least swipeDistance swipes; between the two nothing happens.
    static constexpr double tapDistance = 20.0;
    static constexpr double swipeDistance = 50.0;
    // A tap is quicker than this; two taps this close apart make a double
    // tap, so a tap acts only once this has passed without a second.
    static constexpr double tapMs = 500.0;
    static constexpr double doubleTapMs = 300.0;

    // A finger touches: the key of a tap still waiting whose time for a
    // second one is over (due()), or KeyMap::none.
    KeyMap::Binding down(double x, double y, double ms)
    {
        const KeyMap::Binding waited = due(ms);
        m_x = x;
        m_y = y;
        m_downMs = ms;
        m_fingerDown = true;
        return waited;
    }

    // The finger is lifted: the key of a swipe or a double tap, done now, or
    // KeyMap::none (a single tap waits: due()).
    KeyMap::Binding up(double x, double y, double ms)
    {
        if (!m_fingerDown)
            return KeyMap::none;
        m_fingerDown = false;
        const double dx = x - m_x;
        const double dy = y - m_y;
        const double moved = std::hypot(dx, dy);
        if (moved >= swipeDistance) {
            // A tap just before is taken for part of the swipe.
            m_tapPending = false;
            // Screen y grows downwards: a swipe up is a negative dy.
            if (std::abs(dx) >= std::abs(dy))
                return KeyMap::forKey(dx > 0 ? KeyMap::Key::right : KeyMap::Key::left);
            return KeyMap::forKey(dy < 0 ? KeyMap::Key::up : KeyMap::Key::down);
        }
        if (moved >= tapDistance || ms - m_downMs >= tapMs)
            return KeyMap::none;
        if (m_tapPending && m_downMs - m_tapMs < doubleTapMs) {
            m_tapPending = false;
            return KeyMap::forKey(KeyMap::Key::returnKey);
        }
        m_tapPending = true;
        m_tapMs = ms;
        return KeyMap::none;
    }

    // A tap whose time for a second one has passed by `ms`: its key, once.
    KeyMap::Binding due(double ms)
    {
        if (!m_tapPending || m_fingerDown || ms - m_tapMs < doubleTapMs)
            return KeyMap::none;
        m_tapPending = false;
        return KeyMap::forKey(KeyMap::Key::space);
    }

    // Another finger, or the browser took the touch over: forget it.
    void cancel() { m_fingerDown = false; }

private:
    double m_x = 0.0;
    double m_y = 0.0;
    double m_downMs = 0.0;
    bool m_fingerDown = false;
    bool m_tapPending = false; // a tap waiting for a second one
    double m_tapMs = 0.0;      // when it ended
};

#endif // TOUCHGESTURES_H
