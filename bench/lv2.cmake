# Velmor's chain through the LV2 adapter's run() (in this process, as the
# audio binary's instantiate makes it) beside the VST 2.4 float path in the
# same run.
if(TARGET velmor_lv2)
  velmor_add_bench(lv2_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/lv2_bench.cpp
    LIBS velmor_plugin velmor_lv2 velmor_vst)
endif()
