# Test helpers shared by every folder.
#
# brevane_add_gtest(NAME name SOURCES ... [LIBS ...] [LABELS ...])
# builds one GoogleTest executable and registers its tests with CTest. When
# cross-compiling (the Windows build) tests run through CMAKE_CROSSCOMPILING_EMULATOR
# (wine), so they are registered as one CTest entry per executable.

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

function(brevane_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  brevane_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(T_LABELS)
      set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
  else()
    # Shell tests show real windows whose keys and focus depend on which
    # window the display has made active: they take turns, never side by side.
    set(lock "")
    if("shell" IN_LIST T_LABELS)
      set(lock RESOURCE_LOCK desktop_focus)
    endif()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${T_LABELS}" ${lock})
  endif()
endfunction()
