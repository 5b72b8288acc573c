#include "page.h"
#include "musiclayout.h"
#include "showfiles.h"

#include <emscripten/emscripten.h>

#include <cmath>

// The page's side lives in page.js, as the global ShowPage.

EM_JS(double, pageNow, (), { return ShowPage.now(); });
EM_JS(int, pageClockIsHeld, (), { return ShowPage.clockIsHeld() ? 1 : 0; });
EM_JS(void, pageLog, (const char *line), { ShowPage.log(UTF8ToString(line)); });
EM_JS(void, pageFail, (const char *line), { ShowPage.fail(UTF8ToString(line)); });
EM_JS(void, pageFrameDrawn, (int frame, float showTime, int pictured, int held), {
    ShowPage.frameDrawn(frame, showTime, pictured !== 0, held !== 0);
});
// The music's layout and pace come from the show's rules, so that the page
// and its audio worklet type none of them again.
EM_JS(void, pageOpenMusic, (const char *fileName, const char *soundtrackName, const char *silentShow, int sampleRate,
                            int bytesPerFrame, int framesPerCallback, float clockPerCallback), {
    ShowPage.music.open({ fileName: UTF8ToString(fileName), soundtrackName: UTF8ToString(soundtrackName),
                          silentShow: '; ' + UTF8ToString(silentShow),
                          sampleRate, bytesPerFrame, framesPerCallback, clockPerCallback });
});
EM_JS(void, pageStart, (), { ShowPage.start(); });
EM_JS(void, pageEnd, (), { ShowPage.end(); });
EM_JS(float, pageAudioClock, (), { return ShowPage.music.heardClock(); });
EM_JS(void, pageLoadTexture, (GLuint texture, const char *url), {
    ShowPage.loadTexture(GL.textures[texture], UTF8ToString(url));
});

namespace Page {

// The page's readings are JavaScript numbers: one that is not a finite
// number (a clock a test set to anything, a player that reported nonsense)
// leaves the last good reading standing.
double now()
{
    static double last = 0.0;
    const double reading = pageNow();
    if (std::isfinite(reading))
        last = reading;
    return last;
}
bool clockIsHeld() { return pageClockIsHeld() != 0; }
void log(const std::string &line) { pageLog(line.c_str()); }
void fail(const std::string &line) { pageFail(line.c_str()); }
void frameDrawn(int frame, float showTime, bool pictured, bool held)
{
    pageFrameDrawn(frame, showTime, pictured ? 1 : 0, held ? 1 : 0);
}
void openMusic()
{
    pageOpenMusic(ShowFiles::music, ShowFiles::webSoundtrack, ShowFiles::silentShow, MusicFile::sampleRate, MusicFile::bytesPerFrame, MusicFile::framesPerCallback,
                  MusicFile::clockPerCallback);
}
void start() { pageStart(); }
void end() { pageEnd(); }
float audioClock()
{
    static float last = 0.0f;
    const float reading = pageAudioClock();
    if (std::isfinite(reading) && reading >= 0.0f)
        last = reading;
    return last;
}
void loadTexture(GLuint texture, const char *url) { pageLoadTexture(texture, url); }

} // namespace Page
