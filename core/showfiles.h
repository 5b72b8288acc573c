#ifndef SHOWFILES_H
#define SHOWFILES_H

// The show's two files, as it finds them in the folder it starts in (the
// desktop) or beside its page (the web), its stages' names, and what it says
// when it must run without its music. Plain C++, no Qt: the web page has
// them from here too, and CMake reads them from here (cmake/ShowFiles.cmake),
// so each is written once: keep each a line `constexpr const char *name = "value";`.
namespace ShowFiles {

constexpr const char *music = "music.bmm";
constexpr const char *font = "text.png";

// The music's sound for the web page, compressed beside it; the page's
// music.bmm then holds the beat list alone.
constexpr const char *webSoundtrack = "music.mp3";

// The scene's two stages, and the folder they are kept in: in the source,
// among the compiled-in resources (":/shaders/shader.vert"), beside the web
// page and in a show of the studio's.
constexpr const char *stageFolder = "shaders";
constexpr const char *vertexStage = "shader.vert";
constexpr const char *fragmentStage = "shader.frag";

// The end of the one line said when the show goes on without sound.
constexpr const char *silentShow = "the show runs silent and its beats do not fire";

} // namespace ShowFiles

#endif // SHOWFILES_H
