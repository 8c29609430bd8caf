# The 64-bit twin of the Windows library.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(mingw_triplet x86_64-w64-mingw32)
set(wine_loader wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

# x64 has one calling convention; the host finds this file under the 32-bit
# name with "64" appended.
set(PIXDIM_CALL "")
set(PIXDIM_PLUGIN_SUFFIX .wdx64)
