# The libraries of the Windows build, compiled from Debian's sources instead of
# being found installed: hidapi's Windows backend and cJSON from their source
# packages (scripts/setup-deps.sh --windows unpacks them into
# KAVELO_WINDOWS_DEPS), GoogleTest from the googletest package. The targets
# carry the names the Linux build gets from pkg-config and find_package, so
# the rest of the build does not tell the two apart.
set(KAVELO_WINDOWS_DEPS "${CMAKE_BINARY_DIR}/deps" CACHE PATH
    "Folder holding the unpacked hidapi and cjson source packages")
set(KAVELO_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
foreach(required hidapi/windows/hid.c hidapi/hidapi/hidapi.h cjson/cJSON.c cjson/cJSON.h)
  if(NOT EXISTS "${KAVELO_WINDOWS_DEPS}/${required}")
    message(FATAL_ERROR "${KAVELO_WINDOWS_DEPS}/${required} is missing: "
                        "run scripts/setup-deps.sh --windows ${KAVELO_WINDOWS_DEPS}")
  endif()
endforeach()

# hidapi loads hid.dll and cfgmgr32.dll itself at run time: nothing to link.
add_library(kavelo_hidapi STATIC "${KAVELO_WINDOWS_DEPS}/hidapi/windows/hid.c")
target_include_directories(kavelo_hidapi SYSTEM PUBLIC "${KAVELO_WINDOWS_DEPS}/hidapi/hidapi")
target_compile_options(kavelo_hidapi PRIVATE -w)
add_library(PkgConfig::HIDAPI ALIAS kavelo_hidapi)

add_library(kavelo_cjson STATIC "${KAVELO_WINDOWS_DEPS}/cjson/cJSON.c")
target_include_directories(kavelo_cjson SYSTEM PUBLIC "${KAVELO_WINDOWS_DEPS}/cjson")
# A static library: no dllexport/dllimport decoration.
target_compile_definitions(kavelo_cjson PUBLIC CJSON_HIDE_SYMBOLS)
target_compile_options(kavelo_cjson PRIVATE -w)
add_library(PkgConfig::CJSON ALIAS kavelo_cjson)

if(NOT EXISTS "${KAVELO_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${KAVELO_GOOGLETEST_SOURCE} "
                      "(Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${KAVELO_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
