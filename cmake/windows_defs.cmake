# The export lists of resources/*.def turned into what the linker and dlltool take. Each list
# names every function with its stdcall argument size (Name@bytes); a module exports the
# names without it, and an i686 import library keeps it, because i686 callers refer to the
# decorated symbols. On x86_64 nothing is decorated.

# Writes <output_dir>/<name>_exports.def (the undecorated names, ordinals kept) and
# <name>_imports.def (what the import library is made from; with NONAME entries when
# by_ordinal is set, so that callers import by ordinal), and reruns CMake when the list changes.
function(norvex_write_defs source name output_dir by_ordinal)
    file(READ ${source} listed)
    string(REGEX REPLACE "([A-Za-z_]+)@[0-9]+" "\\1" exports "${listed}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(imports "${listed}")
    else()
        set(imports "${exports}")
    endif()
    if(by_ordinal)
        string(REGEX REPLACE "( @[0-9]+)\n" "\\1 NONAME\n" imports "${imports}")
    endif()
    file(WRITE ${output_dir}/${name}_exports.def "${exports}")
    file(WRITE ${output_dir}/${name}_imports.def "${imports}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

# Links target with the undecorated list and replaces its import library by one made from the
# import list with dlltool; --kill-at keeps the decorated symbols for the callers but has them
# import the undecorated names that the module exports.
function(norvex_use_defs target name output_dir)
    find_program(NORVEX_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
    set_target_properties(${target} PROPERTIES PREFIX "")
    target_sources(${target} PRIVATE ${output_dir}/${name}_exports.def)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # Ties each undecorated name of the list to its stdcall symbol (DIF_Build@24).
        target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${NORVEX_DLLTOOL} --kill-at -d ${output_dir}/${name}_imports.def -D ${name}.dll
                -l $<TARGET_LINKER_FILE:${target}>
        COMMENT "Import library of ${name}.dll")
endfunction()
