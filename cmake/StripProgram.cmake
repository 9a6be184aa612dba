# Run after a program is linked: cmake -DPROGRAM=<file.exe> -DOBJCOPY=<objcopy> -P StripProgram.cmake
# Moves the program's symbols and debug information to <file>.dbg beside it, strips the program, records the
# .dbg file in a debug link (debuggers find the symbols through it) and prints the program's size.
get_filename_component(dir "${PROGRAM}" DIRECTORY)
get_filename_component(name "${PROGRAM}" NAME)
get_filename_component(stem "${PROGRAM}" NAME_WE)
set(dbg "${stem}.dbg")
file(SIZE "${PROGRAM}" unstripped)

execute_process(COMMAND "${OBJCOPY}" --only-keep-debug "${name}" "${dbg}"
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name}: keeping the symbols in ${dbg} failed (${rc})")
endif()
execute_process(COMMAND "${OBJCOPY}" --strip-all "--add-gnu-debuglink=${dbg}" "${name}"
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name}: stripping failed (${rc})")
endif()

file(SIZE "${PROGRAM}" stripped)
file(SIZE "${dir}/${dbg}" symbols)
math(EXPR kib "(${stripped} + 512) / 1024")
message("${name}: ${stripped} bytes (${kib} KiB) after stripping ${unstripped}; symbols in ${dbg} (${symbols} bytes)")
