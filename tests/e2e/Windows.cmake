# End-to-end test tools (cross builds) and, for the x86_64 build that 64-bit Wine can run,
# the CTest registration of the Wine + Xvfb tests in tests/e2e/test_*.py.
set(VO_E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)

function(vo_add_e2e_tool name)
  cmake_parse_arguments(TOOL "WIN32" "" "SOURCES;LIBRARIES" ${ARGN})
  if(TOOL_WIN32)
    add_executable(${name} WIN32 ${TOOL_SOURCES})
  else()
    add_executable(${name} ${TOOL_SOURCES})
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/sdk/include)
  target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_options(${name} PRIVATE ${VO_STATIC_FLAGS})
  target_link_libraries(${name} PRIVATE ${TOOL_LIBRARIES})
  # Built like vo: the linker cannot mix vo_core's whole-program objects with plain ones.
  set_target_properties(${name} PROPERTIES INTERPROCEDURAL_OPTIMIZATION_MINSIZEREL ON)
  target_link_options(${name} PRIVATE $<$<CONFIG:MinSizeRel>:-flto-partition=one>)
endfunction()

# probe: reports on and pokes at the clock's windows from outside the process.
vo_add_e2e_tool(probe SOURCES ${VO_E2E_DIR}/tools/probe.cpp LIBRARIES gdi32 user32 shell32)
# idle_timer: the yardstick of the idle CPU benchmark.
vo_add_e2e_tool(idle_timer WIN32 SOURCES ${VO_E2E_DIR}/tools/idle_timer.cpp LIBRARIES user32)

# Win32 checks of the product's own code: the strings of foreign pointers; discovery and the
# module wrapper against real files (read-only files listed, hidden ones and a folder named
# like a plug-in skipped, look-up by a path differing in letter case); the About box and the
# form dialog helpers (layout, modal loop, keys, the owner disabled).
vo_add_e2e_tool(foreign_string_test SOURCES ${VO_E2E_DIR}/tools/foreign_string_test.cpp
                LIBRARIES vo_win)
vo_add_e2e_tool(plugin_host_test SOURCES ${VO_E2E_DIR}/tools/plugin_host_test.cpp
                LIBRARIES vo_win)
vo_add_e2e_tool(form_dialog_test WIN32 SOURCES ${VO_E2E_DIR}/tools/form_dialog_test.cpp
                LIBRARIES vo_win)

# The test plug-ins that log what they see write it with plugins/RecordLog.cpp.
function(vo_add_test_plugin name)
  vo_add_plugin(${name} ${ARGN})
  target_sources(${name} PRIVATE ${VO_E2E_DIR}/plugins/RecordLog.cpp)
  target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
endfunction()

# The recorder plug-in, A and B under names whose case-insensitive order (and letter case of
# the extension) exercise the discovery order: voRecA.DLL before voRecB.dll.
# voRecM has no VpiNotifyFreq: a clock nobody sees need not wake for it between minutes.
set(VO_RECORDER_DEF_M DEF ${VO_E2E_DIR}/plugins/voRecMinutes.def)
foreach(tag A B M)
  vo_add_test_plugin(voRec${tag} SOURCES ${VO_E2E_DIR}/plugins/voRecorder.cpp
                     ${VO_RECORDER_DEF_${tag}})
  target_include_directories(voRec${tag} PRIVATE ${CMAKE_SOURCE_DIR}/src ${VO_E2E_DIR}/tools)
  target_compile_definitions(voRec${tag} PRIVATE RECORDER_TAG="${tag}")
  target_link_libraries(voRec${tag} PRIVATE comctl32)
endforeach()
set_target_properties(voRecA PROPERTIES SUFFIX ".DLL")

# voFault misbehaves on purpose, one way per build: tag, mode and the tick it starts at.
set(VO_FAULT_VARIANTS N:kNullWrite:3 O:kOverflow:1 P:kOverflow:1 X:kForeignCode:1 Z:kDivide:1
                E:kEnable:1 D:kDisable:1 H:kSpin:8 S1:kSubclass:1 S2:kSubclass:1
                S3:kSubclass:1 S4:kForget:1 SW:kSubclassWrite:5 TW:kThreadWrite:10
                OV:kOverrun:15 UM:kUnmask:1 TS:kTimerSpin:20 SS:kSubclassSpin:60
                DS:kDialogSpin:100 HS:kHeapSpin:8 LS:kDetachSpin:8 ET:kExitThread:40
                W:kForgetWide:1
                # What a module out of service keeps: its timer procedure.
                OT:kTimerThenWrite:12
                # Blocked in the system, in a call and in its DllMain: the run record names it.
                BL:kBlock:3 BD:kLoadBlock:1
                # A C++ exception of g++'s runtime escapes (64-bit: raised as an exception of the
                # system's; 32-bit: abort() at its end); a thread faults in the system's code.
                EX:kThrow:3 AB:kAbort:3 SF:kSystemFault:3
                # A thread of its own still runs its code as the clock closes.
                BT:kBusyThread:1
                # It ends its own process (run apart).
                EP:kExitProcess:3
                # A loop called back from inside a system call, under the guard of a call.
                CB:kCallbackSpin:3)
# Faults where the system itself calls plug-in code: a paint, a raise, the menu, a hook, a
# timer procedure, a window class of the module's own (registered, or its procedure replaced,
# each way there is), an event hook, a modal box's loop.
list(APPEND VO_FAULT_VARIANTS PW:kPaintWrite:3 RW:kRaiseWrite:3 RS:kRaiseSpin:3 MW:kMenuWrite:1
     KW:kHookWrite:4 KU:kHookWriteWide:4 TF:kTimerWrite:5 CW:kClassWrite:1
     CU:kClassWriteWide:1 CX:kClassWriteEx:1 CV:kClassWriteExWide:1 CL:kClassLongWrite:1
     WE:kWinEventWrite:3 AS:kAboutSpin:1)
# Hooks and subclasses kept within the rules: a hook on every program's threads, the
# re-subclass idiom.
list(APPEND VO_FAULT_VARIANTS GH:kGlobalHook:1 RI:kResubclass:1)
foreach(variant ${VO_FAULT_VARIANTS})
  string(REPLACE ":" ";" parts ${variant})
  list(GET parts 0 tag)
  list(GET parts 1 mode)
  list(GET parts 2 from)
  vo_add_test_plugin(voFault${tag} SOURCES ${VO_E2E_DIR}/plugins/voFault.cpp)
  target_compile_definitions(voFault${tag} PRIVATE FAULT_TAG="${tag}" FAULT_MODE=${mode}
                                                   FAULT_FROM=${from})
endforeach()

# The end-to-end tests run against the 32-bit product under 32-bit Wine wherever this kernel
# runs 32-bit programs; elsewhere against the x86-64 build of the same sources under 64-bit
# Wine. Exactly one of the two cross builds registers them.
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/which_wine.sh OUTPUT_VARIABLE VO_E2E_WINE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(VO_E2E_WINE UNIX_COMMAND "${VO_E2E_WINE}")
list(POP_FRONT VO_E2E_WINE VO_E2E_PRESET)
if(VO_E2E_PRESET STREQUAL "win32")
  set(VO_E2E_PROCESSOR "x86")
else()
  set(VO_E2E_PROCESSOR "AMD64")
endif()
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL VO_E2E_PROCESSOR)
  message(STATUS "End-to-end tests: registered in the ${VO_E2E_PROCESSOR} build, not this one")
  return()
endif()
message(STATUS "End-to-end tests: this build, under ${VO_E2E_WINE}")

enable_testing()
set(VO_E2E_PYTHON /usr/bin/python3)
# The Wine loader and the prefix are the harness's defaults (the loader for the build's kind of
# program, <build>/e2e-prefix), so that VO_WINE and VO_WINEPREFIX in ctest's own environment
# point the same suites at another Wine: tools/wine10.sh runs this ctest so in its Debian 13 root.
set(VO_E2E_ENV VO_BUILD_DIR=${CMAKE_BINARY_DIR} VO_SOURCE_DIR=${CMAKE_SOURCE_DIR}
               PYTHONDONTWRITEBYTECODE=1)

# One Wine prefix made once (wineboot takes a while) and reused: each suite runs in a copy
# of its own (harness.claim_prefix), on a display of its own, so that they run side by side
# under `ctest -j`.
add_test(NAME e2e.prefix COMMAND ${VO_E2E_PYTHON} ${VO_E2E_DIR}/harness.py prepare-prefix)
set_tests_properties(e2e.prefix PROPERTIES
  ENVIRONMENT "${VO_E2E_ENV}" FIXTURES_SETUP vo_e2e_prefix RUN_SERIAL TRUE TIMEOUT 300)

file(GLOB VO_E2E_TESTS CONFIGURE_DEPENDS ${VO_E2E_DIR}/test_*.py)
foreach(script ${VO_E2E_TESTS})
  get_filename_component(name ${script} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${name})
  # The longest scripts start first, so that the short ones fill the tail of a parallel run.
  file(SIZE ${script} cost)
  add_test(NAME e2e.${name} COMMAND ${VO_E2E_PYTHON} ${script} WORKING_DIRECTORY ${VO_E2E_DIR})
  set_tests_properties(e2e.${name} PROPERTIES
    ENVIRONMENT "${VO_E2E_ENV}" FIXTURES_REQUIRED vo_e2e_prefix COST ${cost} TIMEOUT 900)
endforeach()

# Win32 checks that print "N passed, M failed", each run under Wine by the harness.
foreach(tool foreign_string plugin_host form_dialog)
  add_test(NAME e2e.${tool}
    COMMAND ${VO_E2E_PYTHON} ${VO_E2E_DIR}/harness.py run $<TARGET_FILE:${tool}_test>)
  set_tests_properties(e2e.${tool} PROPERTIES
    ENVIRONMENT "${VO_E2E_ENV}" FIXTURES_REQUIRED vo_e2e_prefix TIMEOUT 120
    FAIL_REGULAR_EXPRESSION "[1-9][0-9]* failed" PASS_REGULAR_EXPRESSION "passed, 0 failed")
endforeach()

# ---- Plug-ins of the message, telop and plug-in host tests -------------------------------
# voTelop gives time signals when a test asks for them. voStub, linked with different export
# lists, makes the modules the host must reject: no VpiDiscription, only decorated names,
# names in the wrong letter case. voStubH has every export and is hidden by the test.
vo_add_test_plugin(voTelop SOURCES ${VO_E2E_DIR}/plugins/voTelop.cpp)
target_include_directories(voTelop PRIVATE ${CMAKE_SOURCE_DIR}/src ${VO_E2E_DIR}/tools)
# voPump runs a message loop inside VpiEnable, so that ticks come during start-up.
vo_add_plugin(voPump SOURCES ${VO_E2E_DIR}/plugins/voPump.cpp DEF ${VO_E2E_DIR}/plugins/voPump.def)
target_compile_definitions(voPump PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
foreach(variant H:default N:NoDiscription L:LowerCase)
  string(REPLACE ":" ";" parts ${variant})
  list(GET parts 0 tag)
  list(GET parts 1 def)
  if(def STREQUAL "default")
    vo_add_test_plugin(voStub${tag} SOURCES ${VO_E2E_DIR}/plugins/voStub.cpp)
  else()
    vo_add_test_plugin(voStub${tag} SOURCES ${VO_E2E_DIR}/plugins/voStub.cpp
                       DEF ${VO_E2E_DIR}/plugins/voStub${def}.def)
  endif()
  target_compile_definitions(voStub${tag} PRIVATE STUB_TAG="${tag}")
endforeach()
# Without --kill-at, so that the decorated names stay as the .def file gives them.
add_library(voStubD SHARED ${VO_E2E_DIR}/plugins/voStub.cpp ${VO_E2E_DIR}/plugins/RecordLog.cpp
                           ${VO_E2E_DIR}/plugins/voStubDecorated.def)
set_target_properties(voStubD PROPERTIES PREFIX "" SUFFIX ".dll")
target_include_directories(voStubD PRIVATE ${CMAKE_SOURCE_DIR}/sdk/include)
target_compile_definitions(voStubD PRIVATE STUB_TAG="D" WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(voStubD PRIVATE ${VO_STATIC_FLAGS} -Wl,--enable-stdcall-fixup)
target_link_libraries(voStubD PRIVATE user32)
