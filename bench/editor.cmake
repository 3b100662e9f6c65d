# The editor: a meter tick, a full paint, and what a host pays the first
# time it creates an instance or opens the editor in a process.
velmor_add_bench(editor_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/editor_bench.cpp LIBS velmor_plugin velmor_vst velmor_vst_host)
target_compile_definitions(editor_bench PRIVATE VELMOR_PLUGIN_PATH="$<TARGET_FILE:velmor>")
add_dependencies(editor_bench velmor)
