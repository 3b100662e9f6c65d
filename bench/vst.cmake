# The whole plug-in through its effect record, beside other plug-ins loaded
# from their libraries (dlopen) when the machine has them.
velmor_add_bench(vst_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/vst_bench.cpp LIBS velmor_plugin velmor_vst ${CMAKE_DL_LIBS})
