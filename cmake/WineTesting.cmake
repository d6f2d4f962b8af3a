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
set(QRX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# The tests in this prefix share its spooler, its registry and the display's
# foreground: they run one at a time. Tests with prefixes of their own (the
# packages') and those without Wine run beside them (ctest -j).
set(QRX_TEST_PREFIX_LOCK test_prefix)
# The test programs' own code is compiled without optimisation (the
# deliverables they link are built as shipped): optimising takes most of a
# test file's compile time. The test support libraries and their precompiled
# headers are compiled the same way.
set(QRX_TEST_OPTIMIZATION -O0)
set(QRX_TEST_ENVIRONMENT
  WINEPREFIX=${QRX_WINEPREFIX}
  WINEARCH=${QRX_WINEARCH}
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml=
  LANG=C
  LC_ALL=C)

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

# The prefix is made once and reused; the install step copies the freshly
# built deliverables into it and registers the monitor with the spooler.
add_test(NAME prefix.create
  COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${QRX_WINEPREFIX} ${QRX_WINEARCH})
set_tests_properties(prefix.create PROPERTIES FIXTURES_SETUP wineprefix
  ENVIRONMENT "${QRX_TEST_ENVIRONMENT}" TIMEOUT 300 RESOURCE_LOCK ${QRX_TEST_PREFIX_LOCK})
add_test(NAME prefix.stop
  COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${QRX_WINEPREFIX} ${QRX_WINEARCH} stop)
set_tests_properties(prefix.stop PROPERTIES FIXTURES_CLEANUP wineprefix
  ENVIRONMENT "${QRX_TEST_ENVIRONMENT}" TIMEOUT 60 RESOURCE_LOCK ${QRX_TEST_PREFIX_LOCK})

# Windows path of a Linux folder, as Wine's Z: drive shows it.
function(qrx_wine_path out linux_path)
  string(REPLACE "/" "\\" p "${linux_path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()
qrx_wine_path(QRX_DELIVERABLES_WINE_DIR ${QRX_DELIVERABLES_DIR})

add_test(NAME prefix.install
  COMMAND qrx-install install ${QRX_DELIVERABLES_WINE_DIR})
set_tests_properties(prefix.install PROPERTIES
  FIXTURES_SETUP installed FIXTURES_REQUIRED wineprefix
  ENVIRONMENT "${QRX_TEST_ENVIRONMENT}" TIMEOUT 120 RESOURCE_LOCK ${QRX_TEST_PREFIX_LOCK})

# qrx_add_test(<name> SOURCES ... [LIBRARIES ...] [INSTALLED] [ENVIRONMENT VAR=value ...])
# Builds a GoogleTest program and registers it with CTest. INSTALLED tests
# talk to Wine's spooler and need the deliverables installed in the prefix.
# ENVIRONMENT entries are set after, and so win over, the common ones.
function(qrx_add_test name)
  cmake_parse_arguments(T "INSTALLED" "" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE qrx_test_support ${T_LIBRARIES})
  target_compile_options(${name} PRIVATE ${QRX_TEST_OPTIMIZATION})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QRX_TESTS_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set(environment ${QRX_TEST_ENVIRONMENT} ${T_ENVIRONMENT})
  set(fixtures wineprefix)
  if(T_INSTALLED)
    list(APPEND fixtures installed)
  endif()
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED "${fixtures}"
    ENVIRONMENT "${environment}"
    TIMEOUT 300
    RESOURCE_LOCK ${QRX_TEST_PREFIX_LOCK})
endfunction()

add_test(NAME deliverables.imports
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports.sh ${QRX_TRIPLET}-objdump
          $<TARGET_FILE:QRXServerDll> $<TARGET_FILE:QRXUIDll> $<TARGET_FILE:QRXPromptApp>
          $<TARGET_FILE:QRXPM1033U> $<TARGET_FILE:QRXPM1036U> $<TARGET_FILE:QRX_EVENT_RU1033RI>
          $<TARGET_FILE:qrxport> $<TARGET_FILE:QRXSetupActions>)
