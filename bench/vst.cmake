velmor_add_bench(vst_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/vst_bench.cpp LIBS velmor_plugin velmor_vst)
