# The web build: the same engine and production compiled to WebAssembly, run by the browser.
#   emcmake cmake -S . -B build-web -DSTARFALL_WEB=ON && cmake --build build-web
# Produces starfall.html, starfall.js and starfall.wasm (the archive inside) in the build
# folder. Nothing here uses SDL, GTK, libpng, libjpeg or zlib: images and the archive's
# inflating go through stb_image, the window is the page's canvas, sound is Web Audio.
if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "STARFALL_WEB needs the emscripten toolchain: emcmake cmake -S . -B build-web -DSTARFALL_WEB=ON")
endif()

find_path(STB_IMAGE_DIR stb_image.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)

add_compile_definitions(STARFALL_WEB)
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

# Web-only sources end in Web.cpp; the desktop files they stand in for are left out.
function(starfall_web_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  foreach(left_out ${ARGN})
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${left_out})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

starfall_web_library(vireo_core engine/core ExceptionGuard.cpp)
target_include_directories(vireo_core PRIVATE ${STB_IMAGE_DIR})

starfall_web_library(vireo_pak pak)
# The archive's one zlib call, answered by stb_image's inflater (pak/web/zlib.h).
target_include_directories(vireo_pak BEFORE PRIVATE ${CMAKE_SOURCE_DIR}/pak/web ${STB_IMAGE_DIR})
target_link_libraries(vireo_pak PUBLIC vireo_core)

starfall_web_library(vireo_device engine/device)
target_link_libraries(vireo_device PUBLIC vireo_core)

starfall_web_library(vireo_device_gl engine/device/gl GLContext.cpp GLTextureFormat.cpp GLQueries.cpp)
target_link_libraries(vireo_device_gl PUBLIC vireo_device)

starfall_web_library(vireo_layers engine/layers)
target_link_libraries(vireo_layers PUBLIC vireo_device)

starfall_web_library(vireo_scene engine/scene)
target_link_libraries(vireo_scene PUBLIC vireo_layers vireo_pak)

starfall_web_library(vireo_effects engine/effects)
target_link_libraries(vireo_effects PUBLIC vireo_layers)

starfall_web_library(vireo_sound sound SoundSystem.cpp)
target_link_libraries(vireo_sound PUBLIC vireo_core)

starfall_web_library(vireo_script script)
target_link_libraries(vireo_script PUBLIC vireo_layers vireo_sound)

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
  ${CMAKE_SOURCE_DIR}/app/TimelineSeek.cpp
  ${CMAKE_SOURCE_DIR}/app/ProgressLine.cpp
  ${CMAKE_SOURCE_DIR}/app/VideoFormat.cpp
  ${CMAKE_SOURCE_DIR}/app/StartDialogModel.cpp
  ${STARFALL_WEB_APP_SOURCES})
target_compile_definitions(starfall PRIVATE STARFALL_VERSION="${PROJECT_VERSION}")
# Layer types and modifiers register themselves from static initialisers: link them whole.
target_link_libraries(starfall PRIVATE
  -Wl,--whole-archive vireo_effects vireo_scene -Wl,--no-whole-archive
  vireo_script vireo_device_gl vireo_pak)

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
