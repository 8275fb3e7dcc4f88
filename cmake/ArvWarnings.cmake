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

# A library of ours: sources, public include root = the project root, warnings.
function(arv_add_library target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    arv_set_warnings(${target})
endfunction()
