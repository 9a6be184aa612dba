# The client package the installer is built for.
# VELTARA_PACKAGE_SHA256 (cache, set in the top-level CMakeLists.txt): empty turns the installer's integrity check
# off, 64 hex digits are the expected hash, and "demo" means the demo package this build makes
# (tools/sample-client), whose hash is known only once the sample client is built. The installer's
# BuildConfig.h is then written at build time, after the package.
set(VELTARA_DEMO_PACKAGE "${CMAKE_BINARY_DIR}/package/veltaragame/client/VeltaraClient.zip")
set(VELTARA_DEMO_PACKAGE_HASH "${CMAKE_BINARY_DIR}/package/VeltaraClient.zip.sha256")
set(_VELTARA_FILL_HASH_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/FillPackageHash.cmake")

# veltara_build_config(<target> <template>): makes BuildConfig.h in the current binary folder from <template>
# (configure_file, @ONLY) and lets <target> depend on it. The template takes the hash as
# @VELTARA_PACKAGE_SHA256_RESOLVED@ (or @VELTARA_PACKAGE_SHA256@): empty or 64 lower-case hex digits.
function(veltara_build_config target template)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/BuildConfig.h")
    if(VELTARA_PACKAGE_SHA256 STREQUAL "demo")
        # Everything but the hash now; the hash is filled in by the build, after the package.
        set(VELTARA_PACKAGE_SHA256 "@VELTARA_PACKAGE_SHA256@")
        set(VELTARA_PACKAGE_SHA256_RESOLVED "@VELTARA_PACKAGE_SHA256@")
        configure_file("${template}" "${out}.in" @ONLY)
        add_custom_command(OUTPUT "${out}"
            COMMAND "${CMAKE_COMMAND}" "-DTEMPLATE=${out}.in" "-DHASH_FILE=${VELTARA_DEMO_PACKAGE_HASH}"
                    "-DOUT=${out}" -P "${_VELTARA_FILL_HASH_SCRIPT}"
            DEPENDS "${out}.in" "${VELTARA_DEMO_PACKAGE_HASH}" veltara_demo_package "${_VELTARA_FILL_HASH_SCRIPT}"
            COMMENT "Writing BuildConfig.h with the demo package's hash"
            VERBATIM)
        # A target of its own, so that copies of <target> (the shipped build's) wait for the header too.
        add_custom_target(${target}_build_config DEPENDS "${out}")
        add_dependencies(${target} ${target}_build_config)
    elseif(VELTARA_PACKAGE_SHA256 STREQUAL "" OR VELTARA_PACKAGE_SHA256 MATCHES "^[0-9a-fA-F]+$")
        string(LENGTH "${VELTARA_PACKAGE_SHA256}" len)
        if(NOT (len EQUAL 0 OR len EQUAL 64))
            message(FATAL_ERROR "VELTARA_PACKAGE_SHA256 must be empty, \"demo\" or 64 hex digits")
        endif()
        string(TOLOWER "${VELTARA_PACKAGE_SHA256}" VELTARA_PACKAGE_SHA256)
        set(VELTARA_PACKAGE_SHA256_RESOLVED "${VELTARA_PACKAGE_SHA256}")
        file(REMOVE "${out}.in")
        configure_file("${template}" "${out}" @ONLY)
    else()
        message(FATAL_ERROR "VELTARA_PACKAGE_SHA256 must be empty, \"demo\" or 64 hex digits")
    endif()
endfunction()
