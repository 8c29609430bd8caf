# The product: a 32-bit Windows library, cross-compiled with mingw-w64; its
# test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Both Windows builds share one Wine prefix beside their build trees: making
# one takes minutes.
get_filename_component(build_root "${CMAKE_BINARY_DIR}" DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${build_root}/wineprefix wine)

# Exports and imaging calls use the system calling convention.
set(PIXDIM_CALL __stdcall)
set(PIXDIM_PLUGIN_SUFFIX .wdx)
