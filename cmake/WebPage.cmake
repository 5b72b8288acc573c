# The web page's files, listed once for the web program's own build (web/),
# the desktop build that runs it, the web export and the install: the page's
# own files, kept in web/ and copied as they are, and the web program that
# emscripten compiles from web/ and core/.
set(WEB_PAGE_FILES index.html page.js musicplayer.js)
set(WEB_PROGRAM_FILES show.js show.wasm)
set(WEB_FILES ${WEB_PAGE_FILES} ${WEB_PROGRAM_FILES})
