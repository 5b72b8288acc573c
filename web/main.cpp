#include "webshow.h"

#include <emscripten/emscripten.h>

namespace {

// The page's one show; it lives as long as the page.
WebShow *show = nullptr;

} // namespace

// The page's music reader hands the music file's head over through these.
extern "C" {

EMSCRIPTEN_KEEPALIVE void show_musicBegins(double fileSize)
{
    show->musicBegins(fileSize);
}

EMSCRIPTEN_KEEPALIVE int show_musicBytes(const unsigned char *bytes, int length)
{
    return show->musicBytes(bytes, length);
}

EMSCRIPTEN_KEEPALIVE int show_musicHeadRead()
{
    return show->musicHeadRead() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void show_musicEnds()
{
    show->musicEnds();
}

// The page's clock when the music is heard, or when the show goes on without it.
EMSCRIPTEN_KEEPALIVE void show_musicStarts(double pageMs)
{
    show->musicStarts(pageMs);
}

// The streamed music has run out before its end, or goes on again, at
// these moments of the page's clock: the show timer waits meanwhile.
EMSCRIPTEN_KEEPALIVE void show_musicWaits(double pageMs)
{
    show->musicWaits(pageMs);
}

EMSCRIPTEN_KEEPALIVE void show_musicGoesOn(double pageMs)
{
    show->musicGoesOn(pageMs);
}

// The page has left full screen while the show ran: the browser took the
// Escape key for it.
EMSCRIPTEN_KEEPALIVE void show_leftFullScreen()
{
    show->leftFullScreen();
}

} // extern "C"

int main()
{
    // Lives on after main returns, as long as the page.
    static WebShow theShow;
    show = &theShow;
    return 0;
}
