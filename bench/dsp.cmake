# The vocal chain and its blocks, per sample.
velmor_add_bench(dsp_bench SOURCES dsp_bench.cpp LIBS velmor_chain)
