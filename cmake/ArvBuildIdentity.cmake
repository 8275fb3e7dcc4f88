# The build identity: the project version and the git commit the sources come from, read
# when CMake configures. ARV_GIT_COMMIT is the short hash, "-dirty" appended when tracked
# files differ from it, "unknown" outside a git checkout. Every commit or checkout touches
# the reflog of HEAD, which makes the next build configure again and refresh the hash.
# The values land in ${ARV_GENERATED_DIR}/BuildIdentity.h (ARV_VERSION_TEXT, ARV_GIT_COMMIT).
set(ARV_GIT_COMMIT "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _arv_commit
                    RESULT_VARIABLE _arv_result ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_arv_result EQUAL 0 AND _arv_commit)
        set(ARV_GIT_COMMIT ${_arv_commit})
        execute_process(COMMAND ${GIT_EXECUTABLE} status --porcelain --untracked-files=no
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _arv_changes
                        ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(_arv_changes)
            string(APPEND ARV_GIT_COMMIT "-dirty")
        endif()
        foreach(_arv_ref HEAD logs/HEAD)
            execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                                    --git-path ${_arv_ref}
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _arv_path
                            ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(_arv_path AND EXISTS ${_arv_path})
                set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_arv_path})
            endif()
        endforeach()
    endif()
endif()
message(STATUS "Build identity: ${PROJECT_VERSION} ${ARV_GIT_COMMIT}")

set(ARV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
string(CONCAT _arv_identity "#pragma once\n// Written by CMake at configure time.\n"
              "#define ARV_VERSION_TEXT \"${PROJECT_VERSION}\"\n"
              "#define ARV_GIT_COMMIT \"${ARV_GIT_COMMIT}\"\n")
# Rewritten only when it changes, so that a reconfigure rebuilds nothing needlessly.
set(_arv_old "")
if(EXISTS ${ARV_GENERATED_DIR}/BuildIdentity.h)
    file(READ ${ARV_GENERATED_DIR}/BuildIdentity.h _arv_old)
endif()
if(NOT _arv_old STREQUAL _arv_identity)
    file(WRITE ${ARV_GENERATED_DIR}/BuildIdentity.h "${_arv_identity}")
endif()
