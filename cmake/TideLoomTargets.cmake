# Project-wide compile settings for our own targets (third-party code is built without them).
function(tideloom_project_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# The Windows programs and the plug-in carry their C++ runtime inside them, so that they run
# with nothing but Windows system DLLs (and, for the plug-in, FMWrapper.dll) around them.
function(tideloom_static_runtime target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# A GoogleTest executable: tideloom_add_test_executable(target sources... [PROPERTIES props...]).
# On Linux each test is its own ctest entry; under Wine, starting a program costs seconds, so a
# Windows test executable is run once as a whole. PROPERTIES go to every ctest entry.
function(tideloom_add_test_executable target)
  cmake_parse_arguments(PARSE_ARGV 1 test "" "" "PROPERTIES")
  add_executable(${target} ${test_UNPARSED_ARGUMENTS})
  tideloom_project_target(${target})
  tideloom_static_runtime(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    # Programs in one Wine prefix share its clipboard and its AppData folder.
    set_tests_properties(${target} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_shared_state
                         ${test_PROPERTIES})
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${test_PROPERTIES})
  endif()
endfunction()

# What a suite that talks to the HTTP test peer needs of ctest.
set(TIDELOOM_HTTP_PEER_TEST_PROPERTIES
    FIXTURES_REQUIRED tideloom_http_peer ENVIRONMENT no_proxy=127.0.0.1,localhost)

# The libFuzzer targets in tests/fuzz; they need clang and a tree built with
# -fsanitize=fuzzer-no-link (scripts/sanitize.sh configures one).
option(TIDELOOM_FUZZ "Build the libFuzzer targets (clang only)" OFF)
