# The product: the 32-bit Windows library.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_triplet i686-w64-mingw32)
set(wine_loader wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

# Exports and imaging calls use the system calling convention.
set(PIXDIM_CALL __stdcall)
set(PIXDIM_PLUGIN_SUFFIX .wdx)
