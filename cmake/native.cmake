# The native build: unit tests of everything above the imaging library, run
# on a scriptable stand-in for it (the preset adds the sanitizers).
target_sources(pixdim_core PRIVATE linux/ansi_code_page_utf8.cpp)

add_subdirectory(tests/native)
