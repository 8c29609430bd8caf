# The native Linux build: the plugin as a shared object on gdk-pixbuf, and
# every test of the plugin's code under AddressSanitizer and
# UndefinedBehaviorSanitizer. The product is built without the sanitizers;
# the tests use a checked twin of the same code.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0 gio-2.0)
find_package(ZLIB REQUIRED)

set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# The clang build is for fuzzing: the checked code also reports its coverage.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  list(APPEND sanitizers -fsanitize=fuzzer-no-link)
endif()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# core: the plugin's code; core_checked: the same under the sanitizers.
foreach(variant core core_checked)
  add_library(pixdim_${variant} OBJECT ${pixdim_core_sources})
  target_include_directories(pixdim_${variant} PUBLIC ${CMAKE_SOURCE_DIR})
  # What the platform supplies: its files, its policies and gdk-pixbuf's
  # decoders.
  add_library(pixbuf_imaging_${variant} OBJECT
    linux/host_file.cpp linux/platform_policy.cpp linux/compressed_drawing.cpp
    linux/pixbuf_picture.cpp linux/pixbuf_decoders.cpp linux/pixbuf_formats.cpp linux/pixbuf_decoding.cpp)
  target_link_libraries(pixbuf_imaging_${variant} PUBLIC PkgConfig::PIXBUF ZLIB::ZLIB)
  target_include_directories(pixbuf_imaging_${variant} PUBLIC ${CMAKE_SOURCE_DIR})
endforeach()
foreach(target pixdim_core_checked pixbuf_imaging_core_checked)
  target_compile_options(${target} PUBLIC ${sanitizers})
  target_link_options(${target} PUBLIC ${sanitizers})
endforeach()

# The plugin exports only the six entry points.
foreach(variant core core_checked)
  add_library(plugin_${variant} SHARED)
  target_link_libraries(plugin_${variant} PRIVATE pixdim_${variant} pixbuf_imaging_${variant})
  target_link_options(plugin_${variant} PRIVATE
    -Wl,--version-script=${CMAKE_SOURCE_DIR}/resources/pixdim-linux.map -Wl,--no-undefined)
  set_target_properties(plugin_${variant} PROPERTIES PREFIX "" SUFFIX .wdx)
endforeach()
set_target_properties(plugin_core PROPERTIES OUTPUT_NAME pixdim LIBRARY_OUTPUT_DIRECTORY linux)
set_target_properties(plugin_core_checked PROPERTIES OUTPUT_NAME pixdim-checked)

add_library(plugin_loader STATIC tools/plugin_library.cpp tools/utf16.cpp linux/tool_platform.cpp)
target_include_directories(plugin_loader PUBLIC ${CMAKE_SOURCE_DIR})
# The owners' table names glib's kinds too; the tools need only its headers.
target_include_directories(plugin_loader SYSTEM PRIVATE ${PIXBUF_INCLUDE_DIRS})
target_link_libraries(plugin_loader PUBLIC ${CMAKE_DL_LIBS})

add_executable(wdxprobe tools/wdxprobe.cpp)
target_link_libraries(wdxprobe PRIVATE plugin_loader)
target_compile_definitions(wdxprobe PRIVATE PIXDIM_VERSION="${PROJECT_VERSION}")

# pixdim-compare links the plugin's own objects rather than loading a copy
# of the plugin: one file that works wherever it is put, whose answers
# cannot drift from the plugin built beside it.
add_executable(pixdim_compare tools/pixdim_compare.cpp tools/shown_name.cpp tools/folder_pairing.cpp
  linux/tool_platform.cpp)
target_link_libraries(pixdim_compare PRIVATE pixdim_core pixbuf_imaging_core)
target_compile_definitions(pixdim_compare PRIVATE PIXDIM_VERSION="${PROJECT_VERSION}")
set_target_properties(pixdim_compare PROPERTIES OUTPUT_NAME pixdim-compare RUNTIME_OUTPUT_DIRECTORY linux)

add_subdirectory(tests/native)
add_subdirectory(tests/compare)

set(tested_imaging pixdim_core_checked pixbuf_imaging_core_checked)
set(tested_plugin plugin_core_checked)
set(test_path_prefix "")
add_subdirectory(tests/e2e)
# The end-to-end cases once more, on the product itself.
add_test(NAME e2e_tests_on_product COMMAND e2e_tests)
set_tests_properties(e2e_tests_on_product PROPERTIES TIMEOUT 300
  ENVIRONMENT PIXDIM_PLUGIN=$<TARGET_FILE:plugin_core>)

# The Linux packages: the Makefile packs the plugin and pixdim-compare with
# this readme and pixdim-compare's manual page.
configure_file(resources/package-readme-linux.txt.in package/readme.txt @ONLY)
configure_file(resources/pixdim-compare.1.in package/pixdim-compare.1 @ONLY)
file(WRITE ${CMAKE_BINARY_DIR}/package/VERSION ${PROJECT_VERSION})
add_test(NAME linux_package_contents
  COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-linux-package.sh
          ${CMAKE_SOURCE_DIR}/dist/pixdim-${PROJECT_VERSION}-linux-x86_64.tar.gz)
# The Debian package; as root it is also installed and removed once, alone.
add_test(NAME linux_deb_package
  COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-deb-package.sh
          ${CMAKE_SOURCE_DIR}/dist/pixdim_${PROJECT_VERSION}_amd64.deb)
set_tests_properties(linux_deb_package PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)

# The machine set-up script, on stand-ins for apt-get and dpkg.
add_test(NAME setup_machine_script
  COMMAND ${CMAKE_SOURCE_DIR}/tests/setup/check-setup-machine.sh ${CMAKE_SOURCE_DIR}/scripts/setup-machine.sh)
set_tests_properties(setup_machine_script PROPERTIES TIMEOUT 300)

add_subdirectory(bench)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_subdirectory(fuzz)
endif()
add_subdirectory(tests/host)
add_subdirectory(tests/crosscheck)
