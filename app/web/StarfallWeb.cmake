# The web build's program: the same engine and production compiled to WebAssembly, run by the browser.
#   emcmake cmake -S . -B build-web -DSTARFALL_WEB=ON && cmake --build build-web
# Included by CMakeLists.txt once the engine's libraries are declared (the web build takes
# the *Web.cpp files in place of the desktop ones it lists). Produces starfall.html,
# starfall.js and starfall.wasm (the archive inside) in the build folder. Nothing here uses
# SDL, GTK, libpng, libjpeg or zlib: images and the archive's inflating go through
# stb_image, the window is the page's canvas, sound is Web Audio.

# The application: the demo application and its SDL-free parts, with the web platform layer.
file(GLOB STARFALL_WEB_APP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/web/*.cpp)
add_executable(starfall
  ${CMAKE_SOURCE_DIR}/app/ApplicationMessages.cpp
  ${CMAKE_SOURCE_DIR}/app/AuthorKeys.cpp
  ${CMAKE_SOURCE_DIR}/app/Benchmark.cpp
  ${CMAKE_SOURCE_DIR}/app/BenchSink.cpp
  ${CMAKE_SOURCE_DIR}/app/FillRate.cpp
  ${CMAKE_SOURCE_DIR}/app/FrameSink.cpp
  ${CMAKE_SOURCE_DIR}/app/LiveReload.cpp
  ${CMAKE_SOURCE_DIR}/app/PlaybackController.cpp
  ${CMAKE_SOURCE_DIR}/app/DemoApplication.cpp
  ${CMAKE_SOURCE_DIR}/app/CommandLine.cpp
  ${CMAKE_SOURCE_DIR}/app/FixedStepClock.cpp
  ${CMAKE_SOURCE_DIR}/app/FrameRate.cpp
  ${CMAKE_SOURCE_DIR}/app/LogWindow.cpp
  ${CMAKE_SOURCE_DIR}/app/PlaybackSection.cpp
  ${CMAKE_SOURCE_DIR}/app/StackOverlay.cpp
  ${CMAKE_SOURCE_DIR}/app/TimelineSeek.cpp
  ${CMAKE_SOURCE_DIR}/app/ProgressLine.cpp
  ${CMAKE_SOURCE_DIR}/app/VideoFormat.cpp
  ${CMAKE_SOURCE_DIR}/app/StartDialogModel.cpp
  ${STARFALL_WEB_APP_SOURCES})
target_compile_definitions(starfall PRIVATE STARFALL_VERSION="${PROJECT_VERSION}")
target_link_libraries(starfall PRIVATE vireo_all)

# The archive is packed by the archive writer built for this machine (not for the browser).
set(STARFALL_HOST_PAKWRITER ${CMAKE_BINARY_DIR}/host/pakwriter)
# It is the desktop project's own target, configured for this machine in host/, so it keeps
# every source and library it needs without a second list here.
file(GLOB_RECURSE STARFALL_HOST_PAKWRITER_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tools/pakwriter/* ${CMAKE_SOURCE_DIR}/pak/* ${CMAKE_SOURCE_DIR}/engine/core/*)
set(STARFALL_HOST_LAUNCHER)
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(STARFALL_HOST_LAUNCHER -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
                             -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
add_custom_command(OUTPUT ${STARFALL_HOST_PAKWRITER}
  COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${CMAKE_BINARY_DIR}/host -G ${CMAKE_GENERATOR}
          -DCMAKE_BUILD_TYPE=Release ${STARFALL_HOST_LAUNCHER} > ${CMAKE_BINARY_DIR}/host-configure.log
  COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR}/host --target pakwriter
  DEPENDS ${STARFALL_HOST_PAKWRITER_SOURCES}
  COMMENT "Building the archive writer for this machine")
include(${CMAKE_SOURCE_DIR}/tools/PackData.cmake)
starfall_pack_data(${STARFALL_HOST_PAKWRITER} ${STARFALL_HOST_PAKWRITER})
add_dependencies(starfall starfall_pak)

# The page and its script are copied beside the program.
set(STARFALL_WEB_PAGE_FILES starfall.html starfall-page.js starfall-page.css)
set(STARFALL_WEB_PAGE_OUTPUTS)
foreach(page_file ${STARFALL_WEB_PAGE_FILES})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page_file}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/app/web/${page_file} ${CMAKE_BINARY_DIR}/${page_file}
    DEPENDS ${CMAKE_SOURCE_DIR}/app/web/${page_file})
  list(APPEND STARFALL_WEB_PAGE_OUTPUTS ${CMAKE_BINARY_DIR}/${page_file})
endforeach()
add_custom_target(starfall_page ALL DEPENDS ${STARFALL_WEB_PAGE_OUTPUTS})

# The start picture is shown by the page before the program runs.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/start.png
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/vireointro.png ${CMAKE_BINARY_DIR}/start.png
  DEPENDS ${CMAKE_SOURCE_DIR}/data/vireointro.png)
add_custom_target(starfall_start_picture ALL DEPENDS ${CMAKE_BINARY_DIR}/start.png)

target_link_options(starfall PRIVATE
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
  -sEXPORTED_RUNTIME_METHODS=callMain,FS
  -sDISABLE_EXCEPTION_CATCHING=0
  "--embed-file=${STARFALL_PAK}@/Starfall.pak")
set_property(TARGET starfall APPEND PROPERTY LINK_DEPENDS ${STARFALL_PAK})
set_target_properties(starfall PROPERTIES SUFFIX ".js")
