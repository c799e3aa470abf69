# SPDX-License-Identifier: MIT
# SFX/windows.sfx: the self-extracting module for Windows recipients. It is cross-compiled with
# MinGW-w64 in a build of its own (a toolchain cannot change within one CMake build), from the
# same engine sources as the Linux module, and laid beside it.
include(ExternalProject)
find_program(CALYXOR_MINGW_CXX x86_64-w64-mingw32-g++-win32)
if(NOT CALYXOR_MINGW_CXX)
  message(FATAL_ERROR "x86_64-w64-mingw32-g++-win32 is missing: run scripts/install-deps.sh, "
                      "or configure with -DCALYXOR_WINDOWS_SFX=OFF")
endif()
set(_winsfx_args
  -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
  -DCMAKE_BUILD_TYPE=MinSizeRel)
if(CMAKE_CXX_COMPILER_LAUNCHER)
  list(APPEND _winsfx_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(windows-sfx
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/src/sfxwin
  BINARY_DIR ${CMAKE_BINARY_DIR}/windows-sfx
  CMAKE_ARGS ${_winsfx_args}
  # The inner build knows its own dependencies; asking it every time costs a Ninja no-op.
  BUILD_ALWAYS ON
  INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/SFX
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          ${CMAKE_BINARY_DIR}/windows-sfx/calyxor-sfx.exe ${CMAKE_BINARY_DIR}/SFX/windows.sfx
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/SFX/windows.sfx
  USES_TERMINAL_BUILD ON)
