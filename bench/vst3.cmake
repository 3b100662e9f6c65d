velmor_add_bench(vst3_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/vst3_bench.cpp
  LIBS velmor_plugin velmor_vst velmor_vst3 velmor_vst3_host)
