# Wayland protocol bindings generated at build time by wayland-scanner: a client header and the
# interface tables for each protocol XML, built into a static C library of their own. Headers land
# under the build tree below the prefix given, so they are included by a path like every other
# header: "platform/linux/wayland/protocols/<name>-client-protocol.h".
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_SCANNER_PROGRAM wayland-scanner wayland_scanner)
if(NOT WAYLAND_SCANNER_PROGRAM)
    find_program(WAYLAND_SCANNER_PROGRAM wayland-scanner REQUIRED)
endif()
# Stable and staging protocols come from the distribution (Debian's wayland-protocols).
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT WAYLAND_PROTOCOLS_DIR)
    message(FATAL_ERROR "wayland-protocols not found (Debian: wayland-protocols)")
endif()

# orlavo_add_wayland_protocols(<library> INCLUDE_PREFIX <path> PROTOCOLS <xml>...): a static
# library holding the generated code of every <xml> (absolute paths, or relative to the calling
# folder), its headers included as "<path>/<name>-client-protocol.h", wayland-client linked.
function(orlavo_add_wayland_protocols library)
    cmake_parse_arguments(W "" "INCLUDE_PREFIX" "PROTOCOLS" ${ARGN})
    set(include_root "${CMAKE_CURRENT_BINARY_DIR}/${library}-generated")
    set(out_dir "${include_root}/${W_INCLUDE_PREFIX}")
    file(MAKE_DIRECTORY "${out_dir}")
    set(sources)
    foreach(xml IN LISTS W_PROTOCOLS)
        get_filename_component(xml "${xml}" ABSOLUTE)
        get_filename_component(name "${xml}" NAME_WE)
        set(header "${out_dir}/${name}-client-protocol.h")
        set(code "${out_dir}/${name}-protocol.c")
        add_custom_command(OUTPUT "${header}"
            COMMAND "${WAYLAND_SCANNER_PROGRAM}" client-header "${xml}" "${header}"
            DEPENDS "${xml}" VERBATIM)
        add_custom_command(OUTPUT "${code}"
            COMMAND "${WAYLAND_SCANNER_PROGRAM}" private-code "${xml}" "${code}"
            DEPENDS "${xml}" VERBATIM)
        list(APPEND sources "${header}" "${code}")
    endforeach()
    add_library(${library} STATIC ${sources})
    set_target_properties(${library} PROPERTIES LINKER_LANGUAGE C POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${library} PUBLIC "${include_root}")
    target_link_libraries(${library} PUBLIC PkgConfig::WAYLAND_CLIENT)
endfunction()
