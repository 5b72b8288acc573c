# The names the show's parts share (its files, its stages' folder and names,
# the silent-show words), read from core/showfiles.h, where they are written
# once: each `constexpr const char *NAME = "VALUE";` there is SHOW_FILES_NAME
# here (SHOW_FILES_music, SHOW_FILES_stageFolder, ...).
set(showFilesHeader ${CMAKE_CURRENT_LIST_DIR}/../core/showfiles.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${showFilesHeader})
file(STRINGS ${showFilesHeader} showFiles REGEX "^constexpr const char \\*[A-Za-z]+ = \"[^\"]*\";$")
foreach(line IN LISTS showFiles)
    string(REGEX REPLACE "^constexpr const char \\*([A-Za-z]+) = .*$" "\\1" name "${line}")
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\";$" "\\1" value "${line}")
    set(SHOW_FILES_${name} "${value}")
endforeach()
foreach(name music font stageFolder vertexStage fragmentStage silentShow)
    if(NOT DEFINED SHOW_FILES_${name})
        message(FATAL_ERROR "core/showfiles.h does not name ${name} as cmake/ShowFiles.cmake reads it")
    endif()
endforeach()
