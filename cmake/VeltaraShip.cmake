# veltara_ship_program(<executable>)
# Makes <executable> the shipped program:
# - it links copies of the tree's static libraries built without debug assertions (the tests link the
#   originals, which keep them when SKINUI_ASSERTS is on);
# - a 32-bit build is marked large-address-aware (the package is held in memory; under 64-bit Windows that
#   gives the process 4 GB of address space);
# - after each link it is stripped, its symbols kept beside it in <name>.dbg (named in a debug link, where
#   debuggers look for them), and its size is printed;
# - then, when VELTARA_SIGN_CERT and VELTARA_SIGN_KEY are set, it is signed (cmake/SignProgram.cmake).
# The copies are made once every directory has defined its targets (at the end of the top-level directory),
# so sources and libraries added anywhere are followed.
set(VELTARA_SHIP_STRIP_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/StripProgram.cmake")
set(VELTARA_SHIP_SIGN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/SignProgram.cmake")
set(VELTARA_SHIP_SECTION_OPTIONS "$<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections;-fdata-sections>")

function(veltara_ship_program target)
    # Each function and datum in a section of its own, and the linker drops those nothing uses: the
    # program carries only the code it can run (the skin's art leaves little room under 2 MiB).
    target_compile_options(${target} PRIVATE ${VELTARA_SHIP_SECTION_OPTIONS})
    target_link_options(${target} PRIVATE -Wl,--gc-sections)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${target} PRIVATE -Wl,--large-address-aware)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=$<TARGET_FILE:${target}>" "-DOBJCOPY=${CMAKE_OBJCOPY}"
                -P "${VELTARA_SHIP_STRIP_SCRIPT}"
        VERBATIM)
    if(VELTARA_SIGN_CERT)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=$<TARGET_FILE:${target}>" "-DOSSLSIGNCODE=${OSSLSIGNCODE}"
                    "-DCERT=${VELTARA_SIGN_CERT}" "-DKEY=${VELTARA_SIGN_KEY}"
                    "-DPASSWORD_FILE=${VELTARA_SIGN_PASSWORD_FILE}" "-DTIMESTAMP_URL=${VELTARA_SIGN_TIMESTAMP_URL}"
                    "-DDESCRIPTION=${VELTARA_INSTALLER_DESCRIPTION}" -P "${VELTARA_SHIP_SIGN_SCRIPT}"
            VERBATIM)
    endif()
    # Deferred arguments are expanded when the call runs: pass the name itself.
    cmake_language(EVAL CODE
        "cmake_language(DEFER DIRECTORY \"${CMAKE_SOURCE_DIR}\" CALL _veltara_ship_relink \"${target}\")")
endfunction()

# True when item names a static library of this tree (one that can be rebuilt for shipping).
function(_veltara_ship_copyable item out)
    set(result FALSE)
    if(TARGET "${item}")
        get_target_property(type "${item}" TYPE)
        get_target_property(imported "${item}" IMPORTED)
        if(type STREQUAL "STATIC_LIBRARY" AND NOT imported)
            set(result TRUE)
        endif()
    endif()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

# Maps a link list: tree libraries become their shipping copies (made on first use), the rest stays.
function(_veltara_ship_map_links items out)
    set(mapped)
    foreach(item IN LISTS items)
        set(inner "${item}")
        set(link_only FALSE)
        if(item MATCHES "^\\$<LINK_ONLY:([^>]+)>$")
            set(inner "${CMAKE_MATCH_1}")
            set(link_only TRUE)
        endif()
        _veltara_ship_copyable("${inner}" copyable)
        if(copyable)
            _veltara_ship_copy("${inner}")
            set(inner "${inner}_ship")
            if(link_only)
                set(inner "$<LINK_ONLY:${inner}>")
            endif()
            list(APPEND mapped "${inner}")
        else()
            list(APPEND mapped "${item}")
        endif()
    endforeach()
    set(${out} "${mapped}" PARENT_SCOPE)
endfunction()

function(_veltara_ship_copy lib)
    if(TARGET "${lib}_ship")
        return()
    endif()
    get_target_property(source_dir "${lib}" SOURCE_DIR)
    get_target_property(binary_dir "${lib}" BINARY_DIR)
    get_target_property(sources "${lib}" SOURCES)
    set(abs_sources)
    foreach(src IN LISTS sources)
        if(src MATCHES "^\\$<" OR IS_ABSOLUTE "${src}")
            list(APPEND abs_sources "${src}")
        elseif(EXISTS "${source_dir}/${src}")
            list(APPEND abs_sources "${source_dir}/${src}")
        else()
            list(APPEND abs_sources "${binary_dir}/${src}")
        endif()
    endforeach()
    # Source file properties belong to the directory that set them; the copies live in the top-level one.
    foreach(src IN LISTS abs_sources)
        if(src MATCHES "^\\$<")
            continue()
        endif()
        foreach(prop COMPILE_OPTIONS COMPILE_FLAGS COMPILE_DEFINITIONS INCLUDE_DIRECTORIES OBJECT_DEPENDS LANGUAGE
                     GENERATED HEADER_FILE_ONLY)
            get_source_file_property(value "${src}" DIRECTORY "${source_dir}" ${prop})
            if(value) # set and not false
                list(FILTER value EXCLUDE REGEX "^SKINUI_ASSERTS")
                set_source_files_properties("${src}" DIRECTORY "${CMAKE_SOURCE_DIR}" PROPERTIES ${prop} "${value}")
            endif()
        endforeach()
    endforeach()
    add_library("${lib}_ship" STATIC ${abs_sources})
    set_target_properties("${lib}_ship" PROPERTIES ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/ship")
    foreach(prop COMPILE_DEFINITIONS COMPILE_OPTIONS COMPILE_FEATURES INCLUDE_DIRECTORIES
                 INTERFACE_COMPILE_DEFINITIONS INTERFACE_COMPILE_OPTIONS INTERFACE_COMPILE_FEATURES
                 INTERFACE_INCLUDE_DIRECTORIES INTERFACE_LINK_OPTIONS INTERFACE_LINK_DIRECTORIES)
        get_target_property(value "${lib}" ${prop})
        if(NOT value)
            set(value "")
        endif()
        list(FILTER value EXCLUDE REGEX "^SKINUI_ASSERTS")
        set_property(TARGET "${lib}_ship" PROPERTY ${prop} "${value}")
    endforeach()
    target_compile_options("${lib}_ship" PRIVATE ${VELTARA_SHIP_SECTION_OPTIONS})
    # The user interface's code is small rather than fast: it paints a few frames a second. The download,
    # the hashing and the unpacking keep the speed options.
    if(lib MATCHES "^skinui")
        target_compile_options("${lib}_ship" PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:-Os>")
    endif()
    foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(value "${lib}" ${prop})
        if(NOT value)
            set(value "")
        endif()
        _veltara_ship_map_links("${value}" mapped)
        set_property(TARGET "${lib}_ship" PROPERTY ${prop} "${mapped}")
    endforeach()
    # Whatever the original waits for (generated files) the copy waits for too.
    get_target_property(deps "${lib}" MANUALLY_ADDED_DEPENDENCIES)
    if(deps)
        add_dependencies("${lib}_ship" ${deps})
    endif()
endfunction()

function(_veltara_ship_relink target)
    foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(value "${target}" ${prop})
        if(value)
            _veltara_ship_map_links("${value}" mapped)
            set_property(TARGET "${target}" PROPERTY ${prop} "${mapped}")
        endif()
    endforeach()
    get_target_property(defs "${target}" COMPILE_DEFINITIONS)
    if(defs)
        list(FILTER defs EXCLUDE REGEX "^SKINUI_ASSERTS")
        set_property(TARGET "${target}" PROPERTY COMPILE_DEFINITIONS "${defs}")
    endif()
endfunction()
