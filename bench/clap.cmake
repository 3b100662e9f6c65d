# Velmor's chain through the CLAP record (in this process, as Velmor.clap's
# factory makes it) beside the VST 2.4 float path in the same run.
velmor_add_bench(clap_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/clap_bench.cpp
  LIBS velmor_plugin velmor_clap velmor_clap_host velmor_vst)
