# Test programs are Windows programs run by CTest under Wine, in a private
# prefix inside the build tree whose architecture follows the toolchain: 32-bit
# programs of the x86 build run in a 32-bit prefix, as on 32-bit Windows.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(QRX_WINEARCH win32)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(QRX_WINEARCH win64)
else()
  message(FATAL_ERROR "No Wine architecture for the processor ${CMAKE_SYSTEM_PROCESSOR}")
endif()
# The tests in a prefix share its spooler, its registry and the display's
# foreground: they run one at a time. Those that show no window run in a
# second prefix, one at a time too but beside those of the first, as do the
# tests with prefixes of their own (the packages') and those without Wine
# (ctest -j).
set(QRX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QRX_WINDOWLESS_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-windowless)
# The test programs' own code is compiled without optimisation (the
# deliverables they link are built as shipped): optimising takes most of a
# test file's compile time. The test support libraries and their precompiled
# headers are compiled the same way.
set(QRX_TEST_OPTIMIZATION -O0)
# qrx_test_environment(<out> <prefix folder>): the environment of a test in that prefix.
function(qrx_test_environment out prefix)
  set(${out}
    WINEPREFIX=${prefix}
    WINEARCH=${QRX_WINEARCH}
    WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml=
    LANG=C
    LC_ALL=C
    PARENT_SCOPE)
endfunction()

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources missing: run tools/setup.sh")
endif()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest itself is optimised a little: unoptimised, its object keeps every
# inline function in a section of its own, and each test program's link then
# takes seconds longer than its compile saves.
target_compile_options(gtest PRIVATE -O1)
# The test support's precompiled headers need GoogleTest built first.
set_target_properties(gtest PROPERTIES DISABLE_PRECOMPILE_HEADERS ON)

# Windows path of a Linux folder, as Wine's Z: drive shows it.
function(qrx_wine_path out linux_path)
  string(REPLACE "/" "\\" p "${linux_path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()
qrx_wine_path(QRX_DELIVERABLES_WINE_DIR ${QRX_DELIVERABLES_DIR})

# qrx_wine_prefix(<name> <folder>): the tests that make the prefix in <folder>
# once and reuse it (<name>.create), copy the freshly built deliverables into
# it and register the monitor with its spooler (<name>.install), and end its
# wineserver after the last test (<name>.stop); the fixtures <name> and
# <name>.installed, and the lock <name> that its tests hold.
function(qrx_wine_prefix name folder)
  qrx_test_environment(environment ${folder})
  add_test(NAME ${name}.create COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${folder} ${QRX_WINEARCH})
  add_test(NAME ${name}.stop COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${folder} ${QRX_WINEARCH} stop)
  add_test(NAME ${name}.install COMMAND qrx-install install ${QRX_DELIVERABLES_WINE_DIR})
  set_tests_properties(${name}.create PROPERTIES FIXTURES_SETUP ${name} TIMEOUT 300)
  set_tests_properties(${name}.stop PROPERTIES FIXTURES_CLEANUP ${name} TIMEOUT 60)
  set_tests_properties(${name}.install PROPERTIES FIXTURES_SETUP ${name}.installed FIXTURES_REQUIRED ${name}
    TIMEOUT 120)
  set_tests_properties(${name}.create ${name}.stop ${name}.install PROPERTIES
    ENVIRONMENT "${environment}" RESOURCE_LOCK ${name})
endfunction()
qrx_wine_prefix(prefix ${QRX_WINEPREFIX})
qrx_wine_prefix(windowless_prefix ${QRX_WINDOWLESS_WINEPREFIX})

# qrx_test_in_prefix(<test> [INSTALLED] [WINDOWLESS] [TIMEOUT <seconds>] [ENVIRONMENT VAR=value ...]):
# runs a test in the first prefix, or in the second one when it shows no
# window. INSTALLED tests talk to Wine's spooler and need the deliverables
# installed in the prefix. ENVIRONMENT entries are set after, and so win
# over, the common ones.
function(qrx_test_in_prefix test)
  cmake_parse_arguments(T "INSTALLED;WINDOWLESS" "TIMEOUT" "ENVIRONMENT" ${ARGN})
  set(name prefix)
  set(folder ${QRX_WINEPREFIX})
  if(T_WINDOWLESS)
    set(name windowless_prefix)
    set(folder ${QRX_WINDOWLESS_WINEPREFIX})
  endif()
  set(fixtures ${name})
  if(T_INSTALLED)
    list(APPEND fixtures ${name}.installed)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  qrx_test_environment(environment ${folder})
  list(APPEND environment ${T_ENVIRONMENT})
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED "${fixtures}"
    ENVIRONMENT "${environment}"
    TIMEOUT ${T_TIMEOUT}
    RESOURCE_LOCK ${name})
endfunction()

# qrx_add_test(<name> SOURCES ... [LIBRARIES ...] [INSTALLED] [WINDOWLESS] [ENVIRONMENT VAR=value ...])
# Builds a GoogleTest program and registers it with CTest, to run in a
# prefix as qrx_test_in_prefix says.
function(qrx_add_test name)
  cmake_parse_arguments(T "INSTALLED;WINDOWLESS" "" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE qrx_test_support ${T_LIBRARIES})
  target_compile_options(${name} PRIVATE ${QRX_TEST_OPTIMIZATION})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QRX_TESTS_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set(options)
  foreach(option INSTALLED WINDOWLESS)
    if(T_${option})
      list(APPEND options ${option})
    endif()
  endforeach()
  qrx_test_in_prefix(${name} ${options} ENVIRONMENT ${T_ENVIRONMENT})
endfunction()

add_test(NAME deliverables.imports
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports.sh ${QRX_TRIPLET}-objdump
          $<TARGET_FILE:QRXServerDll> $<TARGET_FILE:QRXUIDll> $<TARGET_FILE:QRXPromptApp>
          $<TARGET_FILE:QRXPM1033U> $<TARGET_FILE:QRXPM1036U> $<TARGET_FILE:QRX_EVENT_RU1033RI>
          $<TARGET_FILE:qrxport> $<TARGET_FILE:QRXSetupActions>)
