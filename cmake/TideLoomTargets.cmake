# Project-wide compile settings for our own targets (third-party code is built without them).
function(tideloom_project_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# The Windows programs and the plug-in carry their C++ runtime inside them, so that they run
# with nothing but Windows system DLLs (and, for the plug-in, FMWrapper.dll) around them.
function(tideloom_static_runtime target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# A GoogleTest executable. On Linux each test is its own ctest entry; under Wine, starting a
# program costs seconds, so a Windows test executable is run once as a whole.
function(tideloom_add_test_executable target)
  add_executable(${target} ${ARGN})
  tideloom_project_target(${target})
  tideloom_static_runtime(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    # Programs in one Wine prefix share its clipboard and its AppData folder.
    set_tests_properties(${target} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_shared_state)
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
