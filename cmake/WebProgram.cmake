# The web program (web/, the show's host for the browser) compiled with
# Debian's emscripten into web-program/ of the build folder, with the page's
# own files beside it: what the export copies, and what the package
# installs. Not in the sanitizer build.
find_program(EMCMAKE emcmake)
set(WEB_PROGRAM_DIR ${CMAKE_BINARY_DIR}/web-program)
if(SHOW_WITH_EMSCRIPTEN AND EMCMAKE AND NOT SHOW_SANITIZE)
    file(GLOB webSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/*.cpp ${PROJECT_SOURCE_DIR}/web/*.h
         ${PROJECT_SOURCE_DIR}/web/*.js ${PROJECT_SOURCE_DIR}/web/*.html ${PROJECT_SOURCE_DIR}/web/CMakeLists.txt
         ${PROJECT_SOURCE_DIR}/core/*.h ${PROJECT_SOURCE_DIR}/core/*.cpp ${PROJECT_SOURCE_DIR}/core/CMakeLists.txt)
    set(webProgramFiles)
    foreach(file ${WEB_FILES})
        list(APPEND webProgramFiles ${WEB_PROGRAM_DIR}/${file})
    endforeach()
    # Its optimizer finds its JavaScript packages through NODE_PATH.
    add_custom_command(OUTPUT ${webProgramFiles}
        COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${EMCMAKE} ${CMAKE_COMMAND} -G Ninja
                -S ${PROJECT_SOURCE_DIR}/web -B ${CMAKE_BINARY_DIR}/web-wasm -DCMAKE_BUILD_TYPE=Release
                -DWEB_OUTPUT=${WEB_PROGRAM_DIR} > /dev/null
        COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR}/web-wasm
        # The outputs stand newer than every source, even where nothing changed.
        COMMAND ${CMAKE_COMMAND} -E touch ${webProgramFiles}
        DEPENDS ${webSources}
        COMMENT "Compiling the web program with emscripten" VERBATIM)
    add_custom_target(webprogram ALL DEPENDS ${webProgramFiles})
else()
    set(WEB_PROGRAM_DIR "")
    if(NOT SHOW_SANITIZE)
        message(NOTICE "The web program is left out: it is compiled with emscripten (Debian package emscripten)")
    endif()
endif()

