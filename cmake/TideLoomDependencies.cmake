# Third-party code, all from Debian's packages (and, for Windows, SQLite's amalgamation that
# scripts/fetch_sqlite.sh unpacks, since Debian ships no SQLite for mingw).

if(BUILD_TESTING OR NOT DEFINED BUILD_TESTING)
  # Built from source for both platforms, so the Windows tests get a mingw GoogleTest.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
endif()

# nlohmann-json and cpp-httplib are single headers; a cross build must not see the rest of
# /usr/include, so it gets a folder holding links to just these.
set(TIDELOOM_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${TIDELOOM_THIRD_PARTY_INCLUDE})
if(NOT EXISTS ${TIDELOOM_THIRD_PARTY_INCLUDE}/nlohmann)
  file(CREATE_LINK /usr/include/nlohmann ${TIDELOOM_THIRD_PARTY_INCLUDE}/nlohmann SYMBOLIC)
endif()
if(NOT EXISTS ${TIDELOOM_THIRD_PARTY_INCLUDE}/httplib.h)
  file(CREATE_LINK /usr/include/httplib.h ${TIDELOOM_THIRD_PARTY_INCLUDE}/httplib.h SYMBOLIC)
endif()
add_library(third_party_headers INTERFACE)
target_include_directories(third_party_headers SYSTEM INTERFACE ${TIDELOOM_THIRD_PARTY_INCLUDE})

if(WIN32)
  set(TIDELOOM_SQLITE_DIR ${PROJECT_SOURCE_DIR}/build/deps/sqlite3 CACHE PATH
      "Folder holding SQLite's amalgamation (sqlite3.c, sqlite3.h)")
  if(NOT EXISTS ${TIDELOOM_SQLITE_DIR}/sqlite3.c)
    message(FATAL_ERROR "SQLite amalgamation missing in ${TIDELOOM_SQLITE_DIR}: run scripts/fetch_sqlite.sh")
  endif()
  add_library(sqlite3_amalgamation STATIC ${TIDELOOM_SQLITE_DIR}/sqlite3.c)
  target_include_directories(sqlite3_amalgamation SYSTEM PUBLIC ${TIDELOOM_SQLITE_DIR})
  target_compile_definitions(sqlite3_amalgamation PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
  add_library(SQLite::SQLite3 ALIAS sqlite3_amalgamation)
else()
  find_package(SQLite3 REQUIRED)
  find_package(CURL REQUIRED)
  find_package(Threads REQUIRED)
endif()
