# orlavo_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [ENVIRONMENT <VAR=value...>])
#
# Labels say what a test needs: "unit" (nothing), "integration" (real files, loopback sockets,
# child processes), "desktop" (the headless desktop of scripts/desktop), "e2e" (the whole app on it).
function(orlavo_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    orlavo_set_compile_options(${name})
    target_link_libraries(${name} PRIVATE orlavo_core orlavo_test_fakes Qt6::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORLAVO_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENVIRONMENT}")
endfunction()
