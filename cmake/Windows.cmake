# Cross build for Windows: vo.exe, the SDK sample plug-in and, for the end-to-end
# tests, the test-only plug-ins and the probe tool.
set(VO_STATIC_FLAGS -static -static-libgcc -static-libstdc++)

# The Win32 layer as a library of its own, which the end-to-end tools link as well.
file(GLOB VO_WIN_SOURCES CONFIGURE_DEPENDS src/*/win/*.cpp)
add_library(vo_win STATIC ${VO_WIN_SOURCES})
# comctl32, comdlg32 and winmm are bound when first needed (support/win/SystemLibrary.h).
target_link_libraries(vo_win PUBLIC vo_core gdi32 user32 advapi32)
target_compile_definitions(vo_win PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
# Whole: support/win/LeanRuntime.cpp replaces runtime functions nothing in vo names.
add_executable(vo WIN32 src/vo/vo.cpp src/forms/vo.rc)
target_link_libraries(vo PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,vo_win>)
# Small is a feature for a program that sits on the desktop all day.
foreach(target vo_core vo_win vo)
  target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
endforeach()
target_link_options(vo PRIVATE ${VO_STATIC_FLAGS} -s -Wl,--gc-sections)
# Subsystem 6.0 (Vista): the system then ends the process at once when its heap is corrupted.
target_link_options(vo PRIVATE -Wl,--major-subsystem-version,6,--minor-subsystem-version,0)
# Whole-program optimisation in the product build drops and folds what the per-file build
# cannot (about 20 KB). One partition: with several, g++ 12 stops with an internal error on
# symbols shared across them. The runtime's default terminate handler is replaced for the
# same reason (src/support/win/LeanRuntime.cpp).
set_target_properties(vo vo_core vo_win PROPERTIES INTERPROCEDURAL_OPTIMIZATION_MINSIZEREL ON)
target_link_options(vo PRIVATE $<$<CONFIG:MinSizeRel>:-flto-partition=one>)
set_source_files_properties(src/forms/vo.rc PROPERTIES
  OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/src/forms/vo.ico;${CMAKE_SOURCE_DIR}/src/forms/logo.bmp;${CMAKE_SOURCE_DIR}/src/forms/vo.manifest")
# windres reads the resource script as UTF-8 and stores its texts in code page 932.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -l 0x411")

# The helper program that runs one plug-in module apart from the clock, named for its
# processor: vohost32.exe or vohost64.exe. Each release carries both (tools/release).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
  set(VO_HOST_NAME vohost64)
else()
  set(VO_HOST_NAME vohost32)
endif()
file(GLOB VO_HOST_SOURCES CONFIGURE_DEPENDS src/PlugIns/win/apart/*.cpp)
add_executable(vohost WIN32 ${VO_HOST_SOURCES})
set_target_properties(vohost PROPERTIES OUTPUT_NAME ${VO_HOST_NAME})
target_link_libraries(vohost PRIVATE vo_win)
target_compile_options(vohost PRIVATE -ffunction-sections -fdata-sections)
target_link_options(vohost PRIVATE ${VO_STATIC_FLAGS} -s -Wl,--gc-sections
                    -Wl,--major-subsystem-version,6,--minor-subsystem-version,0)
set_target_properties(vohost PROPERTIES INTERPROCEDURAL_OPTIMIZATION_MINSIZEREL ON)
target_link_options(vohost PRIVATE $<$<CONFIG:MinSizeRel>:-flto-partition=one>)

# A plug-in is a DLL exporting undecorated stdcall names: vo_add_plugin(name
# SOURCES ... [DEF file]); the DEF file lists the exports (all six by default).
function(vo_add_plugin name)
  cmake_parse_arguments(PLUGIN "" "DEF" "SOURCES" ${ARGN})
  if(NOT PLUGIN_DEF)
    set(PLUGIN_DEF ${CMAKE_SOURCE_DIR}/sdk/include/vo_plugin.def)
  endif()
  add_library(${name} SHARED ${PLUGIN_SOURCES} ${PLUGIN_DEF})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dll")
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/sdk/include)
  target_link_options(${name} PRIVATE ${VO_STATIC_FLAGS} -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  target_link_libraries(${name} PRIVATE user32)
endfunction()

if(EXISTS ${CMAKE_SOURCE_DIR}/sdk/sample/voSample.c)
  vo_add_plugin(voSample SOURCES ${CMAKE_SOURCE_DIR}/sdk/sample/voSample.c)
endif()

enable_testing()
# What the image promises the system: the plug-in guard's exception handler accepted (no
# SafeSEH table, NO_SEH clear), DEP and ASLR, subsystem 6.0 or later, no link time, the
# manifest's entries.
add_test(NAME image.vo COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/check_image.py
                               $<TARGET_FILE:vo>)
# The helper the release carries beside it: the same, bar the manifest.
add_test(NAME image.vohost COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/check_image.py
                                   --helper $<TARGET_FILE:vohost>)
if(TARGET voSample AND NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
  # The product's plug-in ABI: the six stdcall entry points under their plain names.
  add_test(NAME exports.voSample
           COMMAND ${CMAKE_SOURCE_DIR}/tools/check_exports.sh $<TARGET_FILE:voSample> VpiEnable
                   VpiDisable VpiNotify VpiNotifyFreq VpiDiscription VpiSetProps)
endif()
# Test tools and plug-ins in both cross builds; the suites in the one this machine can run.
include(${CMAKE_SOURCE_DIR}/tests/e2e/Windows.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/Chime.cmake)
