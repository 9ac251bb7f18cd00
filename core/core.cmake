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
