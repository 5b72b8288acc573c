#ifndef SHOWFILES_H
#define SHOWFILES_H

// The show's two files, as it finds them in the folder it starts in (the
// desktop) or beside its page (the web), and what it says when it must run
// without its music. Plain C++, no Qt: the web page has them from here too.
namespace ShowFiles {

constexpr const char *music = "music.bmm";
constexpr const char *font = "text.png";

// The end of the one line said when the show goes on without sound.
constexpr const char *silentShow = "the show runs silent and its beats do not fire";

} // namespace ShowFiles

#endif // SHOWFILES_H
