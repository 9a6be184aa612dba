# Signs a program with osslsigncode (Authenticode, SHA-256), in place. Run after the program is stripped:
#   cmake -DPROGRAM=<file.exe> -DOSSLSIGNCODE=<tool> -DCERT=<cert.pem> -DKEY=<key.pem> [-DPASSWORD_FILE=<file>]
#         [-DTIMESTAMP_URL=<url>] [-DDESCRIPTION=<text>] -P SignProgram.cmake
# The signing time is now, or SOURCE_DATE_EPOCH when the environment sets it: then the same program signed
# with the same key gives the same bytes (a time stamp from a server never does). When signing fails the
# program is removed, so that an unsigned program is never left where the signed one belongs.
foreach(var PROGRAM OSSLSIGNCODE CERT KEY)
    if(NOT ${var})
        message(FATAL_ERROR "SignProgram.cmake: ${var} is not set")
    endif()
endforeach()

set(args sign -certs "${CERT}" -key "${KEY}" -h sha256)
if(PASSWORD_FILE)
    list(APPEND args -readpass "${PASSWORD_FILE}")
endif()
if(DESCRIPTION)
    list(APPEND args -n "${DESCRIPTION}")
endif()
if(TIMESTAMP_URL)
    list(APPEND args -ts "${TIMESTAMP_URL}")
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    list(APPEND args -time "$ENV{SOURCE_DATE_EPOCH}")
endif()

get_filename_component(name "${PROGRAM}" NAME)
set(signed "${PROGRAM}.signed")
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${PROGRAM}" -out "${signed}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS "${signed}")
    file(REMOVE "${signed}" "${PROGRAM}")
    message(FATAL_ERROR "${name}: signing failed (${rc}); the unsigned program was removed.\n${out}")
endif()
file(RENAME "${signed}" "${PROGRAM}")
message("${name}: signed with ${CERT}")
