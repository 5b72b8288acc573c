#ifndef PAGE_H
#define PAGE_H

#include <GLES3/gl3.h>

#include <string>

// What the show asks of the page around it (page.js): its clock, its console
// and status line, full screen, the music and the font image. All of it runs
// on the page's one thread.
namespace Page {

// The page's clock in milliseconds; a clock the page holds for tests when
// its address says ?clock=held.
double now();
bool clockIsHeld();

// A line on the console, as the desktop's debug log has it.
void log(const std::string &line);
// A failure: one line on the page and on the console; the show goes on.
void fail(const std::string &line);

// The frame just drawn, whether it holds the scene (the stages have been
// built) and whether the show time is held, for the page's tests and
// benchmark.
void frameDrawn(int frame, float showTime, bool pictured, bool held);

// Starts fetching the music file's head, handing the page the file's name,
// the music's layout and pace and the silent show's words; its bytes come
// back through the show's exported music calls.
void openMusic();
// Inside a click or key: full screen, and the music from its first sample.
void start();
// Stops the music and leaves full screen.
void end();
// The audio clock: its step (musiclayout.h) for every callback's worth of
// frames Web Audio has played of the music, counted as they are heard.
float audioClock();

// Fills a texture from an image beside the page, when it has loaded.
void loadTexture(GLuint texture, const char *url);

} // namespace Page

#endif // PAGE_H
