# Builds each probe on its own; each must fail for want of the header it includes.
foreach(probe IN LISTS PROBES)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${probe}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "${probe}: an upward #include compiled")
  endif()
  if(NOT output MATCHES "No such file or directory|file not found")
    message(FATAL_ERROR "${probe}: failed for another reason than the missing header:\n${output}")
  endif()
  message(STATUS "${probe}: refused")
endforeach()
