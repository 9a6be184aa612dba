# Build-time step of veltara_build_config (VeltaraPackage.cmake): writes OUT from TEMPLATE with the package
# hash read from HASH_FILE in place of @VELTARA_PACKAGE_SHA256@.
#   cmake -DTEMPLATE=<file> -DHASH_FILE=<file> -DOUT=<file> -P FillPackageHash.cmake
file(STRINGS "${HASH_FILE}" hash LIMIT_COUNT 1)
string(STRIP "${hash}" hash)
if(NOT hash MATCHES "^[0-9a-f]+$")
    message(FATAL_ERROR "${HASH_FILE} holds no SHA-256")
endif()
string(LENGTH "${hash}" len)
if(NOT len EQUAL 64)
    message(FATAL_ERROR "${HASH_FILE} holds no SHA-256")
endif()
file(READ "${TEMPLATE}" text)
string(REPLACE "@VELTARA_PACKAGE_SHA256@" "${hash}" text "${text}")
file(WRITE "${OUT}" "${text}")
