# Writes BuildInfo.h with the commit the program is built from. Run at every build, so that
# a commit made since the last configure shows; the header changes only when the commit does,
# so nothing is recompiled otherwise.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P BuildInfo.cmake
set(commit unknown)
find_program(GIT git)
if(GIT AND EXISTS ${SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT} rev-parse --short=12 HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND head)
        set(commit ${head})
        # A program built from changed sources is not the commit's program.
        execute_process(COMMAND ${GIT} diff --quiet HEAD -- WORKING_DIRECTORY ${SOURCE_DIR}
                        RESULT_VARIABLE changed ERROR_QUIET)
        if(changed)
            string(APPEND commit "-modified")
        endif()
    endif()
endif()
set(text "// Written by cmake/BuildInfo.cmake at build time.\n#pragma once\n\n#define DORNEL_VERSION \"${VERSION}\"\n#define DORNEL_COMMIT \"${commit}\"\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} before)
endif()
if(NOT "${before}" STREQUAL "${text}")
    file(WRITE ${OUTPUT} "${text}")
endif()
