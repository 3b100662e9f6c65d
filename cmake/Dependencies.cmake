# libpng and zlib: Debian's packages natively; a static libpng built from
# Debian's source package for the Windows cross build (see
# scripts/build-mingw-libpng.sh), found through CMAKE_FIND_ROOT_PATH.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
  set(PNG_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)

if(NOT WIN32)
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(SNDFILE IMPORTED_TARGET sndfile)
  endif()
endif()

if(VELMOR_BUILD_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
