# The release archive: the plug-in and the two documents a FileMaker developer needs, nothing
# else. Everything goes into the "plugin" component and CPack installs only that component, so
# the install rules of other targets or of third-party code can never slip into the archive.
#   cmake --build BUILD --target TideLoom && (cd BUILD && cpack)
# Windows tree: TideLoom-<version>-windows-x64.zip; Linux tree: TideLoom-<version>-linux-x86_64.tar.gz.

set(TIDELOOM_PACKAGE_COMPONENT plugin)

# The Windows plug-in is stripped, and signed when TIDELOOM_SIGN_PKCS12 is set, in place in bin
# before the rule below copies it: a signature must come after stripping, and the package must hold
# exactly the bytes in bin (CPACK_PRE_BUILD_SCRIPTS would run only after the copy).
set(TIDELOOM_SIGN_ON_INSTALL OFF)
if(WIN32 AND CMAKE_HOST_UNIX)
  set(TIDELOOM_SIGN_ON_INSTALL ON)
  install(CODE "execute_process(COMMAND bash \"${PROJECT_SOURCE_DIR}/scripts/sign_plugin.sh\"
                  \"$<TARGET_FILE:TideLoom>\" \"${CMAKE_STRIP}\" COMMAND_ERROR_IS_FATAL ANY)"
          COMPONENT ${TIDELOOM_PACKAGE_COMPONENT})
endif()

install(TARGETS TideLoom
  RUNTIME DESTINATION . COMPONENT ${TIDELOOM_PACKAGE_COMPONENT}
  LIBRARY DESTINATION . COMPONENT ${TIDELOOM_PACKAGE_COMPONENT}
  # The import library is of no use to FileMaker; it stays out of the package's component.
  ARCHIVE DESTINATION lib COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION . COMPONENT ${TIDELOOM_PACKAGE_COMPONENT})
install(FILES ${PROJECT_SOURCE_DIR}/docs/functions.md
  DESTINATION docs COMPONENT ${TIDELOOM_PACKAGE_COMPONENT})

if(WIN32)
  set(TIDELOOM_PACKAGE_PLATFORM windows-x64)
  set(CPACK_GENERATOR ZIP)
else()
  set(TIDELOOM_PACKAGE_PLATFORM linux-x86_64)
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME TideLoom)
set(CPACK_PACKAGE_VENDOR TideLoom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TideLoom plug-in for FileMaker")
set(CPACK_PACKAGE_FILE_NAME TideLoom-${PROJECT_VERSION}-${TIDELOOM_PACKAGE_PLATFORM})
# One folder named like the archive, so unpacking never scatters files.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# FileMaker users get the lean plug-in. On Linux the debugging symbols stay in the build tree; the
# Windows plug-in in bin was stripped above, and stripping the packed copy would break its signature.
if(TIDELOOM_SIGN_ON_INSTALL)
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};${TIDELOOM_PACKAGE_COMPONENT};/")
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
