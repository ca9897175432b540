# What every test runs with: widgets rendered offscreen, and the embedded player's media
# module, which lies at the top of the build tree rather than beside the test.
set(DORLO_TEST_ENVIRONMENT
    QT_QPA_PLATFORM=offscreen "DORLO_MEDIA_MODULE=$<TARGET_FILE:dorlo_media_backend>")

# dorlo_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>]
#                [ENV <VAR=value...>])
# Builds one QtTest (or plain) test executable and registers it with CTest, headless.
function(dorlo_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        DORLO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        DORLO_BUILD_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "${DORLO_TEST_ENVIRONMENT};${T_ENV}")
endfunction()
