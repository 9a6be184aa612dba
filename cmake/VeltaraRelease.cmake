# The installer's build settings that a publisher chooses, checked before anything is built: the version, the
# package server's host and the package hash, the release switch and the signing files.
# Included before project(): a refused configuration stops before any compiler is looked at.
#
# VELTARA_RELEASE=ON is the build a publisher ships. It refuses to configure unless the package host names a
# server other than this machine and the package hash is 64 hex digits, so that no shipped installer fetches
# its client from a loopback address or installs it unchecked. Demo and test builds leave it off and keep
# their defaults (127.0.0.1 and the demo package's hash).
#
# Also usable as a script, for the tests of these rules:
#   cmake -DHOST=<host> [-DRELEASE=ON] -P VeltaraRelease.cmake    prints "ok" or the reason and fails

# Sets <out> to why <host> cannot be the package host of any build (its syntax), or to "".
function(veltara_host_syntax_problem host out)
    set(problem "")
    if(host MATCHES "[^]A-Za-z0-9.:_[-]")
        set(problem "must be a host name or address with an optional :port, nothing else (no scheme, path, user "
                    "or spaces)")
    elseif(host MATCHES "^\\[" AND NOT host MATCHES "^\\[[0-9A-Fa-f:.]+\\](:[0-9]+)?$")
        set(problem "is not a bracketed IPv6 address with an optional :port")
    endif()
    set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets <out> to why <host> cannot be the package host of a shipped installer, or to "".
function(veltara_release_host_problem host out)
    veltara_host_syntax_problem("${host}" problem)
    if(problem)
        set(${out} "${problem}" PARENT_SCOPE)
        return()
    endif()
    string(TOLOWER "${host}" h)
    # The address without brackets and port.
    if(h MATCHES "^\\[([^]]*)\\]")
        set(name "${CMAKE_MATCH_1}")
    elseif(h MATCHES "^([^:]*):[0-9]*$")
        set(name "${CMAKE_MATCH_1}")
    else()
        set(name "${h}") # a bare IPv6 address (not usable in a URL either) or a plain name
    endif()
    string(REGEX REPLACE "\\.$" "" name "${name}")
    set(octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])")
    if(name STREQUAL "")
        set(problem "is empty")
    elseif(name STREQUAL "localhost" OR name MATCHES "\\.localhost$")
        set(problem "names this machine")
    elseif(name MATCHES "^127\\.")
        set(problem "is a loopback address (127.0.0.0/8)")
    elseif(name MATCHES "^0+(\\.|$)")
        set(problem "is an unspecified address (0.0.0.0/8)")
    elseif(name MATCHES "^(0x[0-9a-f]*|[0-9]+)(\\.(0x[0-9a-f]*|[0-9]+))*$"
           AND NOT name MATCHES "^${octet}\\.${octet}\\.${octet}\\.${octet}$")
        # Forms such as 2130706433, 0x7f000001 or 0177.0.0.1 are other spellings of an IPv4 address.
        set(problem "is a numeric address that is not four dotted decimal numbers from 0 to 255")
    elseif(name MATCHES ":")
        if(name MATCHES "^[0:]*:0*1$")
            set(problem "is the IPv6 loopback address")
        elseif(name MATCHES "^[0:]+$")
            set(problem "is the unspecified IPv6 address")
        elseif(name MATCHES "^[0:]*:ffff:(127\\.|0*7f[0-9a-f][0-9a-f]:)")
            set(problem "is a loopback address (IPv4-mapped)")
        elseif(NOT h MATCHES "^\\[")
            set(problem "is an IPv6 address without brackets")
        endif()
    endif()
    set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets <out> to why <hash> cannot be the package hash of a shipped installer, or to "".
function(veltara_release_hash_problem hash out)
    string(LENGTH "${hash}" len)
    if(hash STREQUAL "")
        set(problem "is empty, which turns the package check off")
    elseif(hash STREQUAL "demo")
        set(problem "is \"demo\", the hash of the demo package this build makes")
    elseif(NOT hash MATCHES "^[0-9A-Fa-f]+$" OR NOT len EQUAL 64)
        set(problem "is not 64 hex digits")
    else()
        set(problem "")
    endif()
    set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets <prefix>_RC ("1,2,3,4") and <prefix>_FULL ("1.2.3.4") from a version of one to four numbers, or stops.
function(veltara_version_parts version prefix)
    if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
        message(FATAL_ERROR "VELTARA_VERSION \"${version}\" must be one to four numbers separated by dots")
    endif()
    string(REPLACE "." ";" parts "${version}")
    list(LENGTH parts n)
    while(n LESS 4)
        list(APPEND parts 0)
        math(EXPR n "${n} + 1")
    endwhile()
    foreach(part IN LISTS parts)
        if(part GREATER 65535)
            message(FATAL_ERROR "VELTARA_VERSION \"${version}\": each number must be 65535 or less")
        endif()
    endforeach()
    list(JOIN parts "," rc)
    list(JOIN parts "." full)
    set(${prefix}_RC "${rc}" PARENT_SCOPE)
    set(${prefix}_FULL "${full}" PARENT_SCOPE)
endfunction()

# Stops the configuration with every reason the settings are refused.
function(veltara_check_settings)
    set(problems "")
    veltara_host_syntax_problem("${VELTARA_PACKAGE_HOST}" problem)
    if(VELTARA_RELEASE)
        veltara_release_host_problem("${VELTARA_PACKAGE_HOST}" problem)
    endif()
    if(problem)
        string(APPEND problems "\n  VELTARA_PACKAGE_HOST \"${VELTARA_PACKAGE_HOST}\" ${problem}.")
    endif()
    if(VELTARA_RELEASE)
        veltara_release_hash_problem("${VELTARA_PACKAGE_SHA256}" problem)
        if(problem)
            string(APPEND problems "\n  VELTARA_PACKAGE_SHA256 \"${VELTARA_PACKAGE_SHA256}\" ${problem}; give the "
                                   "SHA-256 of the package the server holds (tools/make_package.py prints it).")
        endif()
    endif()
    # Signing is all or nothing: a certificate without its key (or the reverse) or a missing file is refused
    # rather than giving an unsigned program.
    if(VELTARA_SIGN_CERT OR VELTARA_SIGN_KEY)
        foreach(var VELTARA_SIGN_CERT VELTARA_SIGN_KEY VELTARA_SIGN_PASSWORD_FILE)
            if(NOT ${var} AND NOT var STREQUAL "VELTARA_SIGN_PASSWORD_FILE")
                string(APPEND problems
                       "\n  Signing needs both VELTARA_SIGN_CERT and VELTARA_SIGN_KEY; ${var} is empty.")
            elseif(${var} AND NOT EXISTS "${${var}}")
                string(APPEND problems "\n  ${var}: ${${var}} does not exist.")
            endif()
        endforeach()
        find_program(OSSLSIGNCODE osslsigncode)
        if(NOT OSSLSIGNCODE)
            string(APPEND problems "\n  Signing needs osslsigncode (tools/setup.sh installs it).")
        endif()
    endif()
    if(problems)
        if(VELTARA_RELEASE)
            set(what "A release build (VELTARA_RELEASE=ON) needs the real package server, the package's hash "
                     "and complete signing settings:")
        else()
            set(what "Refused settings:")
        endif()
        message(FATAL_ERROR "${what}${problems}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(RELEASE)
        veltara_release_host_problem("${HOST}" problem)
    else()
        veltara_host_syntax_problem("${HOST}" problem)
    endif()
    if(problem)
        message(FATAL_ERROR "\"${HOST}\" ${problem}")
    endif()
    message("ok")
endif()
