# The one way a test is registered, in every folder.
#
# brevane_add_test(NAME name COMMAND command [args...] LABELS label...
#                  [TIMEOUT seconds] [ENVIRONMENT VAR=value...]
#                  [RESOURCE_LOCK resource...] [RUN_SERIAL])
# registers one CTest entry that runs command (a script, a tool, a program
# of the build). RUN_SERIAL: nothing else runs beside it.
#
# brevane_add_gtest(NAME name SOURCES ... [LIBS ...] LABELS label...
#                   [ONE_ENTRY [TIMEOUT seconds] [ENVIRONMENT VAR=value...]])
# builds one GoogleTest executable and registers each of its tests with
# CTest, or the whole program as one entry with ONE_ENTRY (a program that
# starts something costly once for all its tests). When cross-compiling
# (the Windows build) tests run through CMAKE_CROSSCOMPILING_EMULATOR
# (wine), so every program is one entry there.
#
# The cases of a GoogleTest program labelled shell show real windows whose
# keys and focus depend on which window the display has made active: they
# take turns (one resource lock), never side by side.

if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET GTest::gtest_main)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Recent GoogleTest sources define the GTest:: names themselves.
    foreach(lib gtest gtest_main gmock)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(brevane_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 T "RUN_SERIAL" "NAME;TIMEOUT" "COMMAND;LABELS;ENVIRONMENT;RESOURCE_LOCK")
  if(NOT T_NAME OR NOT T_COMMAND OR NOT T_LABELS OR T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "brevane_add_test(NAME name COMMAND ... LABELS ... [TIMEOUT s] "
      "[ENVIRONMENT ...] [RESOURCE_LOCK ...] [RUN_SERIAL]), not: ${ARGN}")
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  # One property at a time: a value may be a list (two labels, two variables).
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  foreach(property TIMEOUT ENVIRONMENT RESOURCE_LOCK)
    if(T_${property})
      set_tests_properties(${T_NAME} PROPERTIES ${property} "${T_${property}}")
    endif()
  endforeach()
  if(T_RUN_SERIAL)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

function(brevane_add_gtest)
  cmake_parse_arguments(PARSE_ARGV 0 T "ONE_ENTRY" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT")
  if(NOT T_NAME OR NOT T_SOURCES OR NOT T_LABELS OR T_UNPARSED_ARGUMENTS
     OR (NOT T_ONE_ENTRY AND (T_TIMEOUT OR T_ENVIRONMENT)))
    message(FATAL_ERROR "brevane_add_gtest(NAME name SOURCES ... [LIBS ...] LABELS ... "
      "[ONE_ENTRY [TIMEOUT s] [ENVIRONMENT ...]]), not: ${ARGN}")
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  brevane_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  set(lock "")
  if("shell" IN_LIST T_LABELS)
    set(lock RESOURCE_LOCK desktop_focus)
  endif()
  if(T_ONE_ENTRY OR CMAKE_CROSSCOMPILING)
    set(properties "")
    if(T_TIMEOUT)
      list(APPEND properties TIMEOUT ${T_TIMEOUT})
    endif()
    if(T_ENVIRONMENT)
      list(APPEND properties ENVIRONMENT ${T_ENVIRONMENT})
    endif()
    brevane_add_test(NAME ${T_NAME} COMMAND ${T_NAME} LABELS ${T_LABELS} ${lock} ${properties})
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${T_LABELS}" ${lock})
  endif()
endfunction()
