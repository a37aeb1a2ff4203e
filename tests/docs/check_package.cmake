# Builds the release archive with cpack into a scratch folder and checks that it holds exactly
# the plug-in (the built one, stripped), the README and the functions reference, each identical
# to its source.
#   cmake -DCPACK_CONFIG=... -DARCHIVE=TideLoom-...zip -DWORK_DIR=... -DPLUGIN_FILE=...
#         -DSTRIP=... -DSOURCE_DIR=... -P check_package.cmake
foreach(required CPACK_CONFIG ARCHIVE WORK_DIR PLUGIN_FILE STRIP SOURCE_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "check_package.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT EXISTS ${CPACK_CONFIG})
  message(FATAL_ERROR "${CPACK_CONFIG} is missing: is cmake/TideLoomPackaging.cmake included?")
endif()

# A file's bytes as hex; for a Windows DLL with the link time stamp and the checksum zeroed,
# since strip writes both anew on every run.
function(comparable_hex path out)
  file(READ ${path} hex HEX)
  if(hex MATCHES "^4d5a")
    string(SUBSTRING "${hex}" 120 8 le)  # e_lfanew at 0x3C, little-endian
    string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" be "${le}")
    math(EXPR peHeader "0x${be}")
    foreach(field 8 88)  # TimeDateStamp; CheckSum (optional header at 24, field at 64)
      math(EXPR at "(${peHeader} + ${field}) * 2")
      math(EXPR after "${at} + 8")
      string(SUBSTRING "${hex}" 0 ${at} before)
      string(SUBSTRING "${hex}" ${after} -1 rest)
      set(hex "${before}00000000${rest}")
    endforeach()
  endif()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/unpacked)
execute_process(
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CPACK_CONFIG} -B ${WORK_DIR}
  RESULT_VARIABLE cpackResult OUTPUT_VARIABLE cpackOutput ERROR_VARIABLE cpackOutput)
if(NOT cpackResult EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${cpackOutput}")
endif()
if(NOT EXISTS ${WORK_DIR}/${ARCHIVE})
  file(GLOB made RELATIVE ${WORK_DIR} ${WORK_DIR}/*.*)
  message(FATAL_ERROR "cpack did not make ${ARCHIVE}; it made: ${made}\n${cpackOutput}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar tf ${WORK_DIR}/${ARCHIVE}
  RESULT_VARIABLE listResult OUTPUT_VARIABLE listing ERROR_VARIABLE listError)
if(NOT listResult EQUAL 0)
  message(FATAL_ERROR "cannot list ${ARCHIVE}: ${listError}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
set(files)
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "/$")
    list(APPEND files ${entry})
  endif()
endforeach()
list(SORT files)

string(REGEX REPLACE "\\.(zip|tar\\.gz)$" "" top ${ARCHIVE})
set(expected ${top}/README.md ${top}/TideLoom.fmx64 ${top}/docs/functions.md)
list(SORT expected)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "${ARCHIVE} holds:\n  ${files}\nexpected exactly:\n  ${expected}")
endif()

file(COPY_FILE ${PLUGIN_FILE} ${WORK_DIR}/TideLoom.fmx64)
execute_process(COMMAND ${STRIP} ${WORK_DIR}/TideLoom.fmx64 RESULT_VARIABLE stripResult)
if(NOT stripResult EQUAL 0)
  message(FATAL_ERROR "${STRIP} failed on a copy of ${PLUGIN_FILE}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${WORK_DIR}/${ARCHIVE}
                WORKING_DIRECTORY ${WORK_DIR}/unpacked RESULT_VARIABLE extractResult)
if(NOT extractResult EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ARCHIVE}")
endif()
foreach(pair "TideLoom.fmx64|${WORK_DIR}/TideLoom.fmx64" "README.md|${SOURCE_DIR}/README.md"
             "docs/functions.md|${SOURCE_DIR}/docs/functions.md")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 packed)
  list(GET pair 1 original)
  comparable_hex(${WORK_DIR}/unpacked/${top}/${packed} packedBytes)
  comparable_hex(${original} originalBytes)
  if(NOT packedBytes STREQUAL originalBytes)
    message(FATAL_ERROR "${packed} in ${ARCHIVE} differs from ${original}")
  endif()
endforeach()
message(STATUS "${ARCHIVE}: ${files}")
file(REMOVE_RECURSE ${WORK_DIR})
