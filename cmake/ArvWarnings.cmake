# One place for the compiler settings of every target of ours.
# Qt and QCustomPlot come in as imported targets, so their headers are
# system headers and their warnings stay out of our build output.
function(arv_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        # Qt's qCDebug(category) << ... leaves the macro's variadic part empty.
        target_compile_options(${target} PRIVATE -Wno-gnu-zero-variadic-macro-arguments)
    endif()
    if(ARV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A library of ours:
#   arv_add_library(<target> [PUBLIC_HEADERS <headers>...] SOURCES <files>... LIBS <libs>...)
# Everything includes from the project root ("protocol/FrameParser.h"). PUBLIC_HEADERS names
# the headers other libraries may include (they need not be repeated in SOURCES); the other
# headers of SOURCES are the library's own. Without PUBLIC_HEADERS every header is public.
# The library must have a place in ARV_LAYERS (cmake/ArvLayering.cmake); the check "layering"
# of the test suite holds it to its layer and to the public headers of others.
function(arv_add_library target)
    cmake_parse_arguments(ARG "" "" "PUBLIC_HEADERS;SOURCES;LIBS" ${ARGN})
    add_library(${target} STATIC ${ARG_PUBLIC_HEADERS} ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    arv_set_warnings(${target})
    arv_register_library(${target} "${ARG_SOURCES}" "${ARG_PUBLIC_HEADERS}" "${ARG_LIBS}")
endfunction()
