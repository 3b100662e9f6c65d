# Warnings and sanitizers for our own targets. Third-party code (googletest,
# libpng) is added without these.
add_library(velmor_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(velmor_warnings INTERFACE -Wall -Wextra -Werror)
endif()

# The DSP loops are compiled for several instruction sets and must give the
# same bits in each: a multiply is never fused with the add after it, even
# where the instruction set has fused multiply-adds.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-ffp-contract=off)
endif()

if(VELMOR_SANITIZE)
  add_compile_options(-fsanitize=${VELMOR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VELMOR_SANITIZE})
endif()

if(WIN32)
  # One self-contained DLL/EXE: no libstdc++, libgcc or winpthread DLLs to ship.
  add_link_options(-static)
  # The AVX and AVX-512 copies of the DSP loops hold 256-bit values, and GCC does not
  # align the 64-bit Windows stack to 32 bytes for their spills: the
  # assembler writes its aligned vector moves as unaligned ones, which cost
  # the same on aligned data.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wa,-muse-unaligned-vector-move)
  endif()
endif()

# Adds a library of our own with the common settings.
function(velmor_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC velmor_warnings)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# velmor_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [RUNNER COMMAND...])
# A GoogleTest executable registered as one CTest test. Cross builds run it
# through wine (CMAKE_CROSSCOMPILING_EMULATOR); RUNNER runs it through a
# command of ours (the X11 tests: a private Xvfb server). Tests labelled "threads" are
# also built and run under ThreadSanitizer by the test script.
function(velmor_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;RUNNER" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} velmor_warnings GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(T_RUNNER)
    add_test(NAME ${name} COMMAND ${T_RUNNER} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    if("threads" IN_LIST T_LABELS)
      set_property(GLOBAL APPEND PROPERTY VELMOR_THREAD_TESTS ${name})
    endif()
  endif()
  set_property(GLOBAL APPEND PROPERTY VELMOR_ALL_TESTS ${name})
endfunction()

# Adds every listed subdirectory that has a CMakeLists.txt.
function(velmor_add_present_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
