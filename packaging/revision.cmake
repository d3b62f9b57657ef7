# Writes korvel_version.hpp with the program version and the source revision (git describe), and
# rewrites it only when it changed, so a build after a commit picks up the new revision without
# recompiling anything when nothing changed.
execute_process(COMMAND git describe --always --dirty --abbrev=12
                WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE revision ERROR_QUIET
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(text "#pragma once\n// Generated at build time.\n#define KORVEL_VERSION \"${VERSION}\"\n#define KORVEL_REVISION \"${revision}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
