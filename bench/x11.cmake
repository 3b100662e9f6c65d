# The editor in an X11 window (run under a display: scripts/with-xvfb.sh
# build/native/bench/x11_editor_bench): open to first frame, and the GUI
# thread's CPU time with the editor open while audio plays, and the audio
# thread's worst delay while the editor opens.
find_package(X11)
if(X11_FOUND AND TARGET velmor)
  velmor_add_bench(x11_editor_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11_editor_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/x11/audio_delay.cpp LIBS velmor_vst_host X11::X11)
  target_compile_definitions(x11_editor_bench PRIVATE VELMOR_PLUGIN_PATH="$<TARGET_FILE:velmor>")
  add_dependencies(x11_editor_bench velmor)
endif()
