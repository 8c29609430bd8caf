# The Windows plugin library, its probe host, the tests that run under Wine
# and the benchmarks.
enable_language(RC)

# Link the C++ runtime and the threads library in, so the plugin and the
# test programs need no DLL beyond the system's own.
add_link_options(-static -static-libgcc -static-libstdc++)

add_library(pixdim_core OBJECT ${pixdim_core_sources} ${gdiplus_decoder_sources} windows/ansi_code_page.cpp
  windows/platform_policy.cpp)
target_include_directories(pixdim_core PUBLIC ${CMAKE_SOURCE_DIR})

# How the plugin reaches files: checked, opened and streamed to GDI+.
add_library(windows_files OBJECT windows/host_file.cpp windows/extended_path.cpp windows/handle_stream.cpp)
target_include_directories(windows_files PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(windows_files PUBLIC uuid)

set(PIXDIM_PLUGIN_FILE pixdim${PIXDIM_PLUGIN_SUFFIX})
configure_file(resources/pixdim.rc.in pixdim.rc @ONLY)
configure_file(resources/pixdim.manifest.in pixdim.manifest @ONLY)

add_library(pixdim SHARED
  windows/windows_exports.cpp
  resources/pixdim.def
  ${CMAKE_CURRENT_BINARY_DIR}/pixdim.rc
)
target_link_libraries(pixdim PRIVATE pixdim_core windows_files gdiplus)
set_target_properties(pixdim PROPERTIES PREFIX "" SUFFIX ${PIXDIM_PLUGIN_SUFFIX})
# Plain export names from the .def file for the stdcall functions; no symbols.
target_link_options(pixdim PRIVATE -Wl,--enable-stdcall-fixup -s)

add_library(plugin_loader STATIC tools/plugin_library.cpp tools/utf16.cpp windows/tool_platform.cpp)
target_include_directories(plugin_loader PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(plugin_loader PUBLIC shell32)

add_executable(wdxprobe tools/wdxprobe.cpp)
target_link_libraries(wdxprobe PRIVATE plugin_loader)
target_compile_definitions(wdxprobe PRIVATE PIXDIM_VERSION="${PROJECT_VERSION}")

# The end-to-end tests load the plugin itself, and use the plugin's code on
# the real imaging library. Wine sees the build tree on drive Z:.
set(tested_imaging pixdim_core windows_files gdiplus)
set(tested_plugin pixdim)
set(test_path_prefix "Z:")
add_subdirectory(tests/e2e)
add_subdirectory(tests/crosscheck)
add_subdirectory(bench)

# The install package: the 32-bit build writes what it holds besides the two
# plugin files; the Makefile zips it once both Windows builds are done. Its
# text files end their lines in CRLF, as Windows tools (old Notepad, the
# host's own files) expect.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  configure_file(resources/pluginst.inf.in package/pluginst.inf @ONLY NEWLINE_STYLE CRLF)
  configure_file(resources/package-readme.txt.in package/readme.txt @ONLY NEWLINE_STYLE CRLF)
  file(WRITE ${CMAKE_BINARY_DIR}/package/VERSION ${PROJECT_VERSION})
  add_test(NAME package_contents
    COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-package.sh
            ${CMAKE_SOURCE_DIR}/dist/pixdim-${PROJECT_VERSION}.zip)
endif()
