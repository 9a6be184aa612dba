# veltara_add_test(<name> SOURCES <files...> [LIBS <libs...>] [ARGS <args...>] [WINDOW] [NO_MAIN] [TIMEOUT <s>]
#                  [LABELS <l...>])
# Builds one GoogleTest program and registers it with CTest; CTest runs it under Wine through the emulator.
# WINDOW: the program shows real windows, so it never runs beside another such program on the shared display.
# NO_MAIN: the program brings its own main(). ARGS: arguments after the GoogleTest ones.
function(veltara_add_test name)
    cmake_parse_arguments(T "WINDOW;NO_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
    if(NOT T_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no ${T_ARGS})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
    if(T_WINDOW)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
    endif()
endfunction()
