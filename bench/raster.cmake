# Raster benchmarks: the editor's frame blits and the knob-strip decode. The
# PNG writer of the tests produces the strip at start-up.
velmor_add_bench(raster_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/../tests/raster/png_test_writer.cpp
  LIBS velmor_raster)
