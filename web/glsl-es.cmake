# Turns one of the show's GLSL 3.30 core stages into GLSL ES 3.00 for WebGL 2:
# the version line becomes the ES one with the precision the desktop's GL
# has by default, and a #line keeps the compiler's line numbers the stage's
# own. Nothing else changes. Run as cmake -DIN=stage -DOUT=file -P glsl-es.cmake.
file(READ "${IN}" text)
string(FIND "${text}" "\n" endOfFirstLine)
if(endOfFirstLine EQUAL -1)
    message(FATAL_ERROR "${IN}: a single line, no stage")
endif()
string(SUBSTRING "${text}" 0 ${endOfFirstLine} firstLine)
string(STRIP "${firstLine}" firstLine)
if(NOT firstLine STREQUAL "#version 330 core")
    message(FATAL_ERROR "${IN}: the first line is \"${firstLine}\", not \"#version 330 core\"")
endif()
string(SUBSTRING "${text}" ${endOfFirstLine} -1 rest)
# Written beside the target and renamed, so that a stopped build leaves no half stage.
file(WRITE "${OUT}.part" "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n#line 2${rest}")
file(RENAME "${OUT}.part" "${OUT}")
