# The monitoring core: run control, cycle, detection, posting, login,
# settings files and the start-up order. Reaches the window and the page
# only through Controls and BrowserOperations.
add_library(brevane_core STATIC
  core.cpp
  settings.cpp
  startup.cpp
  $<IF:$<BOOL:${WIN32}>,files_win32.cpp,files_posix.cpp>)
brevane_defaults(brevane_core)
target_link_libraries(brevane_core PUBLIC brevane_text)

if(BREVANE_TESTS)
  set(core_test_sources
    tests/cycle_test.cpp
    tests/posting_test.cpp
    tests/login_test.cpp
    tests/settings_test.cpp
    tests/startup_test.cpp)
  if(WIN32)
    list(APPEND core_test_sources tests/settings_win32_test.cpp)
  else()
    list(APPEND core_test_sources tests/settings_posix_test.cpp)
  endif()
  brevane_add_gtest(NAME core_tests SOURCES ${core_test_sources}
    LIBS brevane_core brevane_testing LABELS unit)
endif()

if(BREVANE_BENCHMARKS AND NOT CMAKE_CROSSCOMPILING AND benchmark_FOUND)
  add_executable(core_bench bench/core_bench.cpp)
  brevane_defaults(core_bench)
  target_link_libraries(core_bench PRIVATE brevane_core brevane_testing benchmark::benchmark)
endif()

# The boards file under SIGKILL while the user types, with the real program
# on an X display. The program is defined after this folder, so the test is
# added once the whole project has been read, when it is there.
if(BREVANE_TESTS AND NOT WIN32)
  function(brevane_add_settings_kill_test)
    if(TARGET brevane)
      add_test(NAME settings_survive_kills
        COMMAND python3 ${PROJECT_SOURCE_DIR}/core/tests/settings_kill_test.py $<TARGET_FILE:brevane>)
      # Drives the display's real input, which every window on it shares.
      set_tests_properties(settings_survive_kills PROPERTIES LABELS shell TIMEOUT 300 RUN_SERIAL TRUE)
    endif()
  endfunction()
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL brevane_add_settings_kill_test)
endif()
