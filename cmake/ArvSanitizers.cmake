# ARV_SANITIZE: sanitizers for every target of the build, as for -fsanitize=
#   address,undefined   memory errors, leaks and undefined behaviour (CI runs the suite so)
#   thread              data races (the suite's threaded tests; Qt itself is not instrumented)
# Empty: none. Findings stop the program (UBSan does not carry on), so a test with a finding
# fails. The runtime options and the suppression files below (cmake/sanitizers/, every
# line explained there) reach every test through its environment; set the same variables
# to run a sanitized program by hand (ctest -V shows them).
set(ARV_SANITIZE "" CACHE STRING "Sanitizers: address,undefined | thread | empty for none")
set(ARV_SANITIZER_ENV "")
set(ARV_SANITIZER_GL_TESTS "")

# ARV_FUZZ: the libFuzzer targets of fuzz/ (see scripts/fuzz.sh). Needs clang; every target is
# then instrumented for coverage, with address,undefined unless ARV_SANITIZE says otherwise.
option(ARV_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(ARV_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ARV_FUZZ needs clang (CXX=clang++)")
    endif()
    if(NOT ARV_SANITIZE)
        set(ARV_SANITIZE address,undefined)
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(ARV_SANITIZE)
    if(ARV_SANITIZE MATCHES "thread" AND ARV_SANITIZE MATCHES "address")
        message(FATAL_ERROR "ARV_SANITIZE: thread cannot be combined with address")
    endif()
    add_compile_options(-fsanitize=${ARV_SANITIZE} -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${ARV_SANITIZE})
    if(ARV_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
    set(_supp ${PROJECT_SOURCE_DIR}/cmake/sanitizers)
    # fast_unwind_on_malloc=0: the system libraries keep no frame pointers, so only the slow
    # unwinder traces an allocation through them to the library that a suppression names.
    # GALLIUM_DRIVER=softpipe: Mesa's default llvmpipe registers its JIT code with the
    # unwinder, which then allocates while holding its own lock; run on every allocation, the
    # slow unwinder deadlocks there. softpipe draws without a JIT (and more slowly).
    # ignore_noninstrumented_modules=1: see tsan.supp.
    set(_ubsan "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set(_tsan "TSAN_OPTIONS=suppressions=${_supp}/tsan.supp:halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1")
    set(ARV_SANITIZER_ENV
        "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:strict_init_order=1"
        "LSAN_OPTIONS=suppressions=${_supp}/lsan.supp:print_suppressions=0" ${_ubsan} ${_tsan}
        "GALLIUM_DRIVER=softpipe")
    # Tests that cannot run on softpipe keep llvmpipe, and so run without the slow unwinder and
    # the leak check (Mesa's memory would be reported inside its driver, unloaded by then,
    # where no suppression can name it). tst_calibration: the Q3DScatter point cloud's context
    # on softpipe under AddressSanitizer crashes inside Mesa (a fault while the first scene is
    # drawn, or a corrupt heap chunk freed by swrast when the scatter's context is destroyed;
    # no frame of ours on the faulting side); on llvmpipe every case runs clean.
    set(ARV_SANITIZER_GL_TESTS tst_calibration)
    set(ARV_SANITIZER_GL_ENV "ASAN_OPTIONS=detect_leaks=0:strict_init_order=1" ${_ubsan} ${_tsan})
    message(STATUS "Sanitizers: ${ARV_SANITIZE}")
endif()
