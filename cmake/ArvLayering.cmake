# The layers of our libraries, lowest first. A library may link, and include the public
# headers of, libraries of lower layers only; nothing includes another library's private
# headers (arv_add_library's PUBLIC_HEADERS says which are public); libraries below arv_views
# stay free of widgets. Tests and benchmarks may include what they test, private headers too.
# The check "layering" of the test suite (label unit) fails on any breach; see README,
# "Architecture". A new library gets its place here; names of libraries still to come are
# listed so that they are placed when they arrive (a dialog library takes the "_ui" suffix).
set(ARV_LAYERS
    "arv_common arv_resources arv_crashdump"            # what every layer may use
    "arv_protocol"                                      # the unit's bytes
    "arv_parser"                                        # the receive side
    "arv_calib_math arv_sim"                            # fits; the simulated unit
    "arv_serial"                                        # the port, the queries
    "arv_record arv_config_core arv_calib_core arv_update_core" # widget-free workflow cores
    "arv_cli_core"                                      # the command line's sub-commands
    "arv_views"                                         # view windows and plot parts
    "arv_record_ui arv_config_ui arv_calib_ui arv_update_ui" # their dialogs
    "arv_app")                                          # the main window
set(ARV_WIDGET_FREE_BELOW arv_views)
set(ARV_WIDGET_LIBS Qt5::Widgets Qt5::Gui Qt5::OpenGL Qt5::DataVisualization Qt5::PrintSupport
                    QCustomPlot::QCustomPlot)

# Notes a library of ours for the check (called by arv_add_library): its files, its public
# headers (all its headers when none are named) and what it links, as absolute paths.
function(arv_register_library target sources public_headers libs)
    set(files)
    foreach(f IN LISTS sources public_headers)
        get_filename_component(abs "${f}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND files "${abs}")
    endforeach()
    list(REMOVE_DUPLICATES files)
    set(public)
    if(public_headers)
        foreach(f IN LISTS public_headers)
            get_filename_component(abs "${f}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
            list(APPEND public "${abs}")
        endforeach()
    else()
        foreach(f IN LISTS files)
            if(f MATCHES "\\.h$")
                list(APPEND public "${f}")
            endif()
        endforeach()
    endif()
    set_property(GLOBAL APPEND PROPERTY ARV_LIBRARIES ${target})
    set_property(GLOBAL PROPERTY ARV_LIB_${target}_FILES "${files}")
    set_property(GLOBAL PROPERTY ARV_LIB_${target}_PUBLIC "${public}")
    set_property(GLOBAL PROPERTY ARV_LIB_${target}_LIBS "${libs}")
endfunction()

# After every library has been added: writes what the check reads and registers the check
# (and the check of the check, on a small tree with known breaches).
function(arv_finish_layering)
    set(manifest "${CMAKE_BINARY_DIR}/arv_layering.cmake")
    get_property(libraries GLOBAL PROPERTY ARV_LIBRARIES)
    set(text "# Written by CMake (cmake/ArvLayering.cmake): read by cmake/CheckLayering.cmake.\n")
    string(APPEND text "set(ARV_ROOT \"${PROJECT_SOURCE_DIR}\")\n")
    string(APPEND text "set(ARV_LAYERS \"${ARV_LAYERS}\")\n")
    string(APPEND text "set(ARV_WIDGET_FREE_BELOW ${ARV_WIDGET_FREE_BELOW})\n")
    string(APPEND text "set(ARV_WIDGET_LIBS \"${ARV_WIDGET_LIBS}\")\n")
    string(APPEND text "set(ARV_LIBRARIES \"${libraries}\")\n")
    foreach(lib IN LISTS libraries)
        foreach(what FILES PUBLIC LIBS)
            get_property(value GLOBAL PROPERTY ARV_LIB_${lib}_${what})
            string(APPEND text "set(ARV_LIB_${lib}_${what} \"${value}\")\n")
        endforeach()
    endforeach()
    file(WRITE "${manifest}" "${text}")

    if(ARV_BUILD_TESTS)
        set(check "${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake")
        add_test(NAME layering COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -P ${check})
        set_tests_properties(layering PROPERTIES LABELS unit TIMEOUT 60)
        # The check itself, on tests/layering: each breach there must be reported.
        set(breaches "${PROJECT_SOURCE_DIR}/tests/layering/breaches.cmake")
        foreach(case "links|arv_low links arv_high, which is not in a lower layer"
                     "includes|low/Low.cpp includes high/High.h of arv_high, which is not in a lower layer"
                     "private|top/Top.cpp includes high/HighPrivate.h, a private header of arv_high"
                     "unlinked|top/Top.cpp includes mid/Mid.h of arv_mid without linking it"
                     "widgets|arv_low links Qt5::Widgets below arv_views"
                     "unplaced|arv_stray is in no layer"
                     "outside|low/Low.cpp includes tests/Helper.h, which belongs to no library")
            string(REPLACE "|" ";" parts "${case}")
            list(GET parts 0 name)
            list(GET parts 1 expected)
            add_test(NAME layering_finds_${name}
                     COMMAND ${CMAKE_COMMAND} -DMANIFEST=${breaches} -P ${check})
            set_tests_properties(layering_finds_${name} PROPERTIES LABELS unit TIMEOUT 60
                                 PASS_REGULAR_EXPRESSION "${expected}")
        endforeach()
    endif()
endfunction()
