# Read by cpack before it builds a package.

# The tarball of the static build says so in its name. It is for sandboxes, so it holds the
# programs alone.
if(CPACK_GENERATOR STREQUAL "TGZ" AND CPACK_LINECMP_STATIC)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-linux-${CPACK_LINECMP_ARCH}-static")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL linecmp)
  set(CPACK_ARCHIVE_LINECMP_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
endif()

# Packages are reproducible: every file in them gets the time SOURCE_DATE_EPOCH. A
# value the caller sets wins; otherwise it is the last commit's time, or, outside a git
# checkout, the date of the changelog's newest entry, as read at configure time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_LINECMP_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    execute_process(COMMAND date -u -d "${CPACK_LINECMP_CHANGELOG_DAY} UTC" +%s OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()

# Each Debian package's description starts with its own summary, so the project's is not
# put before it.
if(CPACK_GENERATOR STREQUAL "DEB")
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
endif()
