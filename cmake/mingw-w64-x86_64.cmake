# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix). The posix thread model gives std::thread,
# std::mutex and std::condition_variable; the project links the runtime
# statically, so the programs need no DLLs beside them. Programs built here run under Wine
# (cmake/wine-run.sh), which ctest uses to start the test programs.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVELO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVELO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVELO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVELO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVELO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and gtest_discover_tests) start the .exe programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
