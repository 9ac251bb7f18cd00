# The engine's tests drive a real web view, so they need a display (CI runs
# them under xvfb-run). Each program starts WebKit once and runs all its tests
# in that one process, so each is one CTest entry.
add_library(brevane_webkit_harness STATIC ${CMAKE_CURRENT_LIST_DIR}/harness.cpp)
brevane_defaults(brevane_webkit_harness)
target_link_libraries(brevane_webkit_harness PUBLIC brevane_webkit brevane_loopback PkgConfig::WEBKIT)

# A build with AddressSanitizer (CMAKE_CXX_FLAGS and the linker flags with
# -fsanitize=address) instruments the web process module too, but WebKit's
# web process is not built with it, and the sanitizer's runtime must be the
# first library of a process: the tests then start with the runtime preloaded,
# which their web processes inherit. Leaks are not checked: the web process
# ends by _exit with WebKit's own memory held.
set(BREVANE_WEBKIT_TEST_ENVIRONMENT "")
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(BREVANE_WEBKIT_TEST_ENVIRONMENT "LD_PRELOAD=${asan_runtime};ASAN_OPTIONS=detect_leaks=0")
endif()

# One program of the engine's tests, registered as one entry (see above).
function(brevane_webkit_test name)
  brevane_add_gtest(NAME ${name} SOURCES ${ARGN} LIBS brevane_webkit_harness LABELS webkit
    ONE_ENTRY TIMEOUT 300 ENVIRONMENT ${BREVANE_WEBKIT_TEST_ENVIRONMENT})
endfunction()

brevane_webkit_test(webkit_engine_tests ${CMAKE_CURRENT_LIST_DIR}/engine_test.cpp)
# The browser operations over this engine.
brevane_webkit_test(webkit_browser_tests ${CMAKE_CURRENT_LIST_DIR}/document_browser_test.cpp)
# Downloads refused, in a scratch home of its own.
brevane_webkit_test(webkit_download_tests ${CMAKE_CURRENT_LIST_DIR}/download_test.cpp)
# The page-conformance suite on this engine, over pages from two loopback
# origins.
brevane_webkit_test(webkit_conformance_tests
  ${PROJECT_SOURCE_DIR}/testing/conformance/conformance_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conformance_host.cpp)
target_link_libraries(webkit_conformance_tests PRIVATE brevane_conformance brevane_loopback_tls)
# Boards over TLS: certificates accepted for their host, and every other one
# refused as an unreachable board.
brevane_webkit_test(webkit_tls_tests ${CMAKE_CURRENT_LIST_DIR}/tls_test.cpp)
target_link_libraries(webkit_tls_tests PRIVATE brevane_loopback_tls)
# The web process's memory ceiling, with views of their own.
brevane_webkit_test(webkit_memory_tests ${CMAKE_CURRENT_LIST_DIR}/memory_test.cpp)
# Hostile pages of two loopback origins against the reach into frames and
# the silent control.
brevane_webkit_test(webkit_hostile_tests ${CMAKE_CURRENT_LIST_DIR}/hostile_test.cpp)
target_compile_definitions(webkit_hostile_tests PRIVATE BREVANE_HOSTILE_DIR="${CMAKE_CURRENT_LIST_DIR}/hostile")
