# Test suite: GoogleTest built from Debian's source with the cross compiler; every test program
# runs under Wine (64-bit loader) inside Xvfb, in a sandbox of its own: a pool of sandboxes is
# made once per run, and CTest hands each running program one member, so that programs run side
# by side without sharing a prefix, a display, a desktop or a trash.

# The 32-bit tree (the shipped exe's) builds the test programs of the code whose faults differ
# between 32 and 64 bits; the 64-bit tree runs them, beside its own, in one CTest schedule.
# Window procedures and the pointers they keep, the hook, the worker threads, COM, the records
# passed to the system and the exceptions that cross them: the unit areas below, and the main
# window with its own resources.
set(ORVEX_AREAS_32 CountDown ExceptionBoundary ExecuteShell PathEdit Pickers Recycle RichLog
                   SelfDelete Window)
set(ORVEX_FORM_AREAS_32 MainForm)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ORVEX_TESTS_32 ON)
else()
  set(ORVEX_TESTS_32 OFF)
endif()

set(ORVEX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVEX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(ORVEX_SANDBOX ${CMAKE_BINARY_DIR}/sandbox)
set(ORVEX_WINE_ENV ${CMAKE_SOURCE_DIR}/tools/wine-env)
# Every Windows test program is started through the sandbox's Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEX_WINE_ENV} test ${ORVEX_SANDBOX})

# Paths the tests need, spelled as Wine sees them (the Unix root is drive Z:).
function(orvex_wine_path out unix_path)
  string(REPLACE "/" "\\\\" win "${unix_path}")
  set(${out} "Z:${win}" PARENT_SCOPE)
endfunction()

# Helper programs used by tests: the product stand-in, the sandbox installer and the like.
set(ORVEX_FIXTURES pelmor_install pelmor_product selfdeleter selfreport syslib_probe)
set(ORVEX_FIXTURE_TARGETS)
foreach(name ${ORVEX_FIXTURES})
  add_executable(${name} WIN32 tests/fixtures/${name}.cpp)
  target_link_libraries(${name} PRIVATE orvex_test_support)
  target_link_options(${name} PRIVATE -municode)
  list(APPEND ORVEX_FIXTURE_TARGETS ${name})
endforeach()

# A library that tests plant beside a program under the names of system libraries; it records
# every process that loads it in a folder of marker files.
set(ORVEX_PLANTED_MARKERS "C:\\\\orvex-tests\\\\planted-markers")
add_library(planted SHARED tests/fixtures/planted/planted.cpp tests/fixtures/planted/planted.def)
set_target_properties(planted PROPERTIES PREFIX "")
target_compile_definitions(planted PRIVATE "ORVEX_PLANTED_MARKERS=L\"${ORVEX_PLANTED_MARKERS}\"")
# Its exports are named without the 32-bit call decoration, as the system's own are.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(planted PRIVATE -Wl,--enable-stdcall-fixup)
endif()
list(APPEND ORVEX_FIXTURE_TARGETS planted)

add_library(orvex_test_support STATIC
  tests/support/AppDriver.cpp tests/support/BoxAnswerer.cpp tests/support/BoxDriver.cpp
  tests/support/Files.cpp tests/support/ImportTable.cpp tests/support/MainFormHost.cpp
  tests/support/Planted.cpp tests/support/ProcessInfo.cpp tests/support/Processes.cpp
  tests/support/RtfReader.cpp tests/support/SandboxGuard.cpp tests/support/Sandbox.cpp
  tests/support/Screenshot.cpp tests/support/Wait.cpp tests/support/WindowWatch.cpp)
# The tests and their support are built without optimisation and without a section per function
# (with those, the linker takes longer over the large unity sources than the compiler): most of
# the build's time goes into them, and what they test, the product's own libraries, is built as it
# ships. A test fixture class private to a source file is fine in a unity source.
function(orvex_quick_build target)
  target_compile_options(${target} PRIVATE -O0 -fno-function-sections -fno-data-sections
                                           -Wno-subobject-linkage)
endfunction()
orvex_quick_build(orvex_test_support)
orvex_quick_build(gtest)
orvex_quick_build(gtest_main)
# Every test source begins with these; compiled once for all of them.
target_precompile_headers(orvex_test_support PRIVATE
  <gtest/gtest.h> <windows.h> <chrono> <functional> <map> <optional> <string> <vector>)

# Tests may call what the product only loads at run time (the version resources, the common
# controls).
target_link_libraries(orvex_test_support PUBLIC uninstaller_units bcrypt version oleacc comctl32 GTest::gtest)
orvex_wine_path(ORVEX_WIN_BIN_DIR ${CMAKE_BINARY_DIR})
orvex_wine_path(ORVEX_WIN_SOURCE_DIR ${CMAKE_SOURCE_DIR})
orvex_wine_path(ORVEX_WIN_SANDBOX ${ORVEX_SANDBOX})
target_compile_definitions(orvex_test_support PUBLIC
  "ORVEX_BIN_DIR=L\"${ORVEX_WIN_BIN_DIR}\""
  "ORVEX_SOURCE_DIR=L\"${ORVEX_WIN_SOURCE_DIR}\""
  "ORVEX_SANDBOX_DIR=L\"${ORVEX_WIN_SANDBOX}\""
  "ORVEX_PLANTED_MARKERS=L\"${ORVEX_PLANTED_MARKERS}\"")

if(NOT ORVEX_TESTS_32)
  # The pool: its size is the number of programs that run at once (the test preset's jobs).
  set(ORVEX_SANDBOX_POOL 6 CACHE STRING "Sandboxes the Wine test programs run in side by side")
  set(ORVEX_POOL_IDS)
  math(EXPR last_member "${ORVEX_SANDBOX_POOL} - 1")
  foreach(i RANGE ${last_member})
    list(APPEND ORVEX_POOL_IDS "{\"id\": \"${i}\", \"slots\": 1}")
  endforeach()
  list(JOIN ORVEX_POOL_IDS ", " ORVEX_POOL_IDS)
  file(WRITE ${CMAKE_BINARY_DIR}/sandboxes.json
    "{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"sandboxes\": [${ORVEX_POOL_IDS}]}]}\n")
  add_test(NAME wine_env_up COMMAND ${ORVEX_WINE_ENV} up ${ORVEX_SANDBOX} ${ORVEX_SANDBOX_POOL})
  set_tests_properties(wine_env_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_env_down COMMAND ${ORVEX_WINE_ENV} down ${ORVEX_SANDBOX})
  set_tests_properties(wine_env_down PROPERTIES FIXTURES_CLEANUP wine)
endif()

# The tests are built into three programs, each with one main and the one support library: the
# unit tests, the end-to-end tests that drive Uninstaller.exe or build its window without its
# resources, and the tests of the window with the program's own resources (manifest and all).
# Each area (a source file, tests/<kind>/<Area>_test.cpp) still runs as a CTest test of its own,
# in one sandbox of the pool, by a filter of the suites its file defines; the slowest are split
# into shards (GoogleTest's own sharding), each a test of its own, and start first (their COST),
# so that a run without timings from an earlier one does not end on them.
set(ORVEX_TEST_SHARDS Hostile=4 Uninstall=2 SelfDelete=2 Keyboard=2)
# Areas of one shard that take about a minute: started among the first as well.
set(ORVEX_SLOW_AREAS MainForm Scaling)

# The GoogleTest filter that selects the tests of one source file: its suites, and the
# instantiations of its value-parameterised ones under any prefix.
function(orvex_suites_filter out src)
  file(STRINGS ${src} lines REGEX "^(TEST|TEST_F|TEST_P)\\(")
  set(patterns)
  foreach(line ${lines})
    if(line MATCHES "^(TEST|TEST_F|TEST_P)\\(([A-Za-z0-9_]+),")
      if(CMAKE_MATCH_1 STREQUAL "TEST_P")
        list(APPEND patterns "*/${CMAKE_MATCH_2}.*")
      else()
        list(APPEND patterns "${CMAKE_MATCH_2}.*")
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES patterns)
  list(JOIN patterns ":" filter)
  set(${out} "${filter}" PARENT_SCOPE)
endfunction()

# NAME PROGRAM p FILTER f [SUFFIX s ENVIRONMENT e LOCK l]: the area as CTest tests, its shards
# each a test of its own. p is a target of this tree or the full path of a program of the other.
function(orvex_add_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PROGRAM;FILTER;SUFFIX;ENVIRONMENT;LOCK" "")
  # A program of the 32-bit tree is named by its path, and started through the sandbox by hand.
  if(IS_ABSOLUTE "${arg_PROGRAM}")
    set(arg_PROGRAM ${CMAKE_CROSSCOMPILING_EMULATOR} ${arg_PROGRAM})
  endif()
  set(shards 1)
  string(REGEX REPLACE "_test$" "" area "${name}")
  foreach(entry ${ORVEX_TEST_SHARDS})
    if(entry MATCHES "^${area}=([0-9]+)$")
      set(shards ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(command ${arg_PROGRAM} --gtest_color=no "--gtest_filter=${arg_FILTER}")
  math(EXPR last "${shards} - 1")
  set(cost ${shards}00)
  if(area IN_LIST ORVEX_SLOW_AREAS)
    set(cost 300)
  endif()
  foreach(i RANGE ${last})
    set(test ${name}${arg_SUFFIX})
    set(environment "${arg_ENVIRONMENT}")
    if(shards GREATER 1)
      set(test ${test}.${i})
      set(environment "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${i};${environment}")
    endif()
    add_test(NAME ${test} COMMAND ${command})
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600
      RESOURCE_GROUPS sandboxes:1 COST ${cost} ENVIRONMENT "${environment}")
    if(arg_LOCK)
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK ${arg_LOCK})
    endif()
  endforeach()
endfunction()

# PROGRAM KIND [RC file] AREAS a b ... [LOCK l]: one test program of the areas' sources.
function(orvex_test_program program kind)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "RC;LOCK" "AREAS;AREAS_32")
  if(ORVEX_TESTS_32)
    set(arg_AREAS ${arg_AREAS_32})
  endif()
  set(sources)
  foreach(area ${arg_AREAS})
    list(APPEND sources ${CMAKE_SOURCE_DIR}/tests/${kind}/${area}_test.cpp)
  endforeach()
  add_executable(${program} ${sources})
  if(arg_RC)
    target_sources(${program} PRIVATE ${arg_RC})
    set_source_files_properties(${arg_RC} PROPERTIES OBJECT_DEPENDS "${ORVEX_RESOURCE_FILES}")
    target_include_directories(${program} PRIVATE ${ORVEX_RESOURCE_DIRS})
  endif()
  target_link_libraries(${program} PRIVATE orvex_test_support GTest::gtest_main)
  orvex_quick_build(${program})
  target_precompile_headers(${program} REUSE_FROM orvex_test_support)
  add_dependencies(${program} Uninstaller ${ORVEX_FIXTURE_TARGETS})
  foreach(area ${arg_AREAS})
    orvex_suites_filter(filter ${CMAKE_SOURCE_DIR}/tests/${kind}/${area}_test.cpp)
    set_property(GLOBAL APPEND PROPERTY ORVEX_AREA_FILTERS "${area}|${program}|${filter}|${arg_LOCK}")
  endforeach()
endfunction()

# The unit tests; the path edit's folder icons are among their resources.
orvex_test_program(unit_tests unit RC ${CMAKE_SOURCE_DIR}/tests/unit/unit_tests.rc
  AREAS CountDown Drives ExceptionBoundary ExecuteShell InternetLabel Math MessageBoxes PathEdit
        Paths Pickers Recycle Registry RichLog SelfDelete SharedUninstaller SpecialFolders
        StartupServices StringList SystemLibrary TextFiles TextHelpers Version Window
  AREAS_32 ${ORVEX_AREAS_32})
# The window with the program's own resources. Its areas write marker files beside the program
# (a debug-mode marker among them), so they never run at the same time.
orvex_test_program(form_tests e2e RC ${CMAKE_SOURCE_DIR}/tests/e2e/form_tests.rc
  AREAS MainForm Scaling AREAS_32 ${ORVEX_FORM_AREAS_32} LOCK form_tests_folder)
if(ORVEX_TESTS_32)
  # The 32-bit tree stops here: its programs are run by the 64-bit tree's CTest.
  return()
endif()
orvex_test_program(e2e_tests e2e
  AREAS Accessibility Hostile Keyboard PlantedDll Startup Uninstall)
target_sources(e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e/UninstallerFixture.cpp)

# The exe we ship is the 32-bit one: wherever Wine's 32-bit loader runs here, it is the subject of
# every area that starts Uninstaller.exe (tests NAME.i686), and the 32-bit builds of the areas
# above run too (NAME.i686 as well). The 64-bit twin keeps the rest, and of the areas that start
# the exe the uninstalls that cross what differs by bitness (the product-window wait, the
# protected folders, the hook that declines deleting for good), so that it stays honest. Where the
# kernel does not run 32-bit programs itself and our emulation is not registered (tools/runs32.sh),
# the .i686 tests say SKIPPED and why, and the twin runs every area whole.
set(ORVEX_EXE_AREAS Hostile Keyboard PlantedDll Scaling Startup Uninstall)
set(ORVEX_TWIN_EXE_AREAS Uninstall)
set(ORVEX_TWIN_EXE_FILTER "UninstallerRun.CompleteUninstall*:UninstallerRun.RunningProduct*"
                          ":UninstallerRun.SpecialFolders*:UninstallerRun.FolderDeletedForGood*")
string(REPLACE ";" "" ORVEX_TWIN_EXE_FILTER "${ORVEX_TWIN_EXE_FILTER}")
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/runs32.sh RESULT_VARIABLE runs32_rc
                OUTPUT_VARIABLE runs32 OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(ORVEX_BIN_32 "")
if(ORVEX_SHIPPED_EXE)
  get_filename_component(ORVEX_BIN_32 ${ORVEX_SHIPPED_EXE} DIRECTORY)
endif()
if(NOT ORVEX_SHIPPED_EXE)
  set(ORVEX_NO_32 "no shipped exe was named (ORVEX_SHIPPED_EXE)")
elseif(NOT runs32_rc EQUAL 0 AND NOT runs32_rc EQUAL 3)
  # Under an emulator other than ours (tools/emulate32.sh, which tools/test.sh registers when asked
  # to) the 32-bit runs take up to a hundred times longer than their budget; the smoke run carries
  # the shipped exe there.
  set(ORVEX_NO_32 "32-bit programs do not run natively here (${runs32})")
else()
  set(ORVEX_NO_32 "")
endif()
orvex_wine_path(ORVEX_WIN_SHIPPED_EXE "${ORVEX_SHIPPED_EXE}")
get_property(areas GLOBAL PROPERTY ORVEX_AREA_FILTERS)
foreach(entry ${areas})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 area)
  list(GET parts 1 program)
  list(GET parts 2 filter)
  list(GET parts 3 lock)
  set(on_32 OFF)
  if(area IN_LIST ORVEX_EXE_AREAS)
    set(on_32 ON)
    set(program_32 ${program})
    set(environment_32 "ORVEX_UNINSTALLER_EXE=${ORVEX_WIN_SHIPPED_EXE}")
  elseif(area IN_LIST ORVEX_AREAS_32 OR area IN_LIST ORVEX_FORM_AREAS_32)
    set(on_32 ON)
    set(program_32 ${ORVEX_BIN_32}/${program}.exe)
    set(environment_32 "")
  endif()
  # A program of the other tree writes beside itself in a folder of its own.
  set(lock_32 "${lock}")
  if(lock AND NOT area IN_LIST ORVEX_EXE_AREAS)
    set(lock_32 "${lock}_32")
  endif()
  # The twin runs an area unless the 32-bit run of it starts the shipped exe in its place.
  if(NOT on_32 OR NOT area IN_LIST ORVEX_EXE_AREAS OR ORVEX_NO_32)
    orvex_add_wine_test(${area}_test PROGRAM ${program} FILTER ${filter} LOCK "${lock}")
  elseif(area IN_LIST ORVEX_TWIN_EXE_AREAS)
    orvex_add_wine_test(${area}_test PROGRAM ${program} FILTER ${ORVEX_TWIN_EXE_FILTER})
  endif()
  if(NOT on_32)
    continue()
  endif()
  if(ORVEX_NO_32)
    add_test(NAME ${area}_test.i686
             COMMAND sh -c "echo \"SKIPPED: $0\"; exit 77" "${ORVEX_NO_32}")
    set_tests_properties(${area}_test.i686 PROPERTIES SKIP_RETURN_CODE 77)
  else()
    orvex_add_wine_test(${area}_test PROGRAM ${program_32} FILTER ${filter} SUFFIX .i686
                        ENVIRONMENT "${environment_32}" LOCK "${lock_32}")
  endif()
endforeach()
if(ORVEX_NO_32)
  message(STATUS "The 32-bit runs say SKIPPED: ${ORVEX_NO_32}; the 64-bit twin runs every area")
else()
  message(STATUS "Wine runs 32-bit programs here: the shipped exe is the end-to-end subject")
endif()

# Checks of the shipped 32-bit exe, and of the 64-bit twin's imports, made from the Linux side.
if(ORVEX_SHIPPED_EXE)
  add_test(NAME shipped_exe_check
           COMMAND ${CMAKE_SOURCE_DIR}/tests/check-shipped-exe.sh ${ORVEX_SHIPPED_EXE}
                   $<TARGET_FILE:Uninstaller>)
endif()

# The 64-bit driver of the 32-bit smoke run (tools/smoke32.sh): built with the tests, run by that
# script in a sandbox of its own, and no CTest test.
add_executable(Smoke32_test tests/smoke32/Smoke32_test.cpp)
target_link_libraries(Smoke32_test PRIVATE orvex_test_support GTest::gtest_main)
add_dependencies(Smoke32_test ${ORVEX_FIXTURE_TARGETS})

# The demo's driver (tools/demo.sh): installs the sandbox product, uninstalls it headless the way
# a person would, and checks what the uninstall left behind.
add_executable(demo_driver tools/demo/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE orvex_test_support)
target_link_options(demo_driver PRIVATE -municode)
add_dependencies(demo_driver Uninstaller ${ORVEX_FIXTURE_TARGETS})
