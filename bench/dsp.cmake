# The vocal chain and its blocks, per sample. The chain is set up with the
# chain tests' harness (the plug-in's default coefficients and voicings, from
# Velmor's own hooks).
velmor_add_bench(dsp_bench SOURCES dsp_bench.cpp ${PROJECT_SOURCE_DIR}/tests/chain/chain_harness.cpp LIBS velmor_plugin)
