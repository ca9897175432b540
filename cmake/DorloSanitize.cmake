# The sanitizers of a DORLO_SANITIZE or DORLO_FUZZ build reach every target but the
# generators, the programs the build itself runs (dorlo-author, store-render, dorlo-icon):
# a report of theirs, such as a leak in the toolkit at exit, would stop the build, and what
# they write is checked by the tests anyway. A generator links plain copies of the
# project's libraries, <library>_plain; in a build without sanitizers those are the
# libraries themselves.
set(DORLO_SANITIZER_COMPILE_OPTIONS)
set(DORLO_SANITIZER_LINK_OPTIONS)
if(DORLO_SANITIZE)
    list(APPEND DORLO_SANITIZER_COMPILE_OPTIONS -fsanitize=address,undefined
         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    list(APPEND DORLO_SANITIZER_LINK_OPTIONS -fsanitize=address,undefined)
endif()
if(DORLO_FUZZ)
    # Everything the fuzz targets link is instrumented for coverage and checked.
    list(APPEND DORLO_SANITIZER_COMPILE_OPTIONS -fsanitize=fuzzer-no-link,address,undefined
         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    list(APPEND DORLO_SANITIZER_LINK_OPTIONS -fsanitize=address,undefined)
endif()
add_compile_options(${DORLO_SANITIZER_COMPILE_OPTIONS})
add_link_options(${DORLO_SANITIZER_LINK_OPTIONS})

# dorlo_generator(<target>): builds a program the build runs without the sanitizers.
function(dorlo_generator target)
    foreach(property COMPILE_OPTIONS LINK_OPTIONS)
        get_target_property(options ${target} ${property})
        if(options)
            list(REMOVE_ITEM options ${DORLO_SANITIZER_COMPILE_OPTIONS}
                 ${DORLO_SANITIZER_LINK_OPTIONS})
            set_property(TARGET ${target} PROPERTY ${property} ${options})
        endif()
    endforeach()
endfunction()

# dorlo_plain_library(<library>): <library>_plain, the static <library> for the generators,
# linking the plain copies of the libraries it links. Call it once <library> is complete.
function(dorlo_plain_library library)
    if(NOT DORLO_SANITIZER_COMPILE_OPTIONS)
        add_library(${library}_plain ALIAS ${library})
        return()
    endif()
    get_target_property(directory ${library} SOURCE_DIR)
    get_target_property(sources ${library} SOURCES)
    list(TRANSFORM sources PREPEND ${directory}/ REGEX "^[^/]")
    add_library(${library}_plain STATIC ${sources})
    get_property(copied GLOBAL PROPERTY DORLO_PLAIN_LIBRARIES)
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
            INTERFACE_COMPILE_DEFINITIONS COMPILE_OPTIONS LINK_LIBRARIES INTERFACE_LINK_LIBRARIES
            AUTOMOC AUTOUIC AUTORCC)
        get_target_property(value ${library} ${property})
        if(NOT value STREQUAL "value-NOTFOUND")
            foreach(other IN LISTS copied)
                list(TRANSFORM value REPLACE "^${other}$" "${other}_plain")
                list(TRANSFORM value REPLACE "^\\$<LINK_ONLY:${other}>$"
                     "$<LINK_ONLY:${other}_plain>")
            endforeach()
            set_property(TARGET ${library}_plain PROPERTY ${property} ${value})
        endif()
    endforeach()
    dorlo_generator(${library}_plain)
    set_property(GLOBAL APPEND PROPERTY DORLO_PLAIN_LIBRARIES ${library})
endfunction()
