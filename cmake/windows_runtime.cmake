# brimrt63.dll, included by runtime/CMakeLists.txt when cross-building for Windows (see
# cmake/windows_modules.cmake for the other modules).
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
file(MAKE_DIRECTORY ${windows_dir})

# brimrt63: the module exports undecorated names at their ordinals; its import library is
# then replaced by one made from the same list with NONAME entries, so that every module that
# links it imports by ordinal. On i686 that list keeps the decorated names, which the stdcall
# references of the callers carry.
file(READ ${CMAKE_SOURCE_DIR}/resources/brimrt63.def runtime_def)
string(REGEX REPLACE "([A-Za-z]+)@[0-9]+ @" "\\1 @" runtime_exports_def "${runtime_def}")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(runtime_imports_def "${runtime_def}")
else()
    set(runtime_imports_def "${runtime_exports_def}")
endif()
string(REGEX REPLACE "(@[0-9]+)\n" "\\1 NONAME\n" runtime_imports_def "${runtime_imports_def}")
file(WRITE ${windows_dir}/brimrt63_exports.def "${runtime_exports_def}")
file(WRITE ${windows_dir}/brimrt63_imports.def "${runtime_imports_def}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/resources/brimrt63.def)

find_program(NORVEX_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)

set_target_properties(brimrt63 PROPERTIES PREFIX "")
target_sources(brimrt63 PRIVATE ${windows_dir}/brimrt63_exports.def)
target_link_libraries(brimrt63 PRIVATE norvex_windows_crt)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # Ties each undecorated name of the .def file to its stdcall symbol (OpenOutline@4).
    target_link_options(brimrt63 PRIVATE -Wl,--enable-stdcall-fixup)
endif()
add_custom_command(TARGET brimrt63 POST_BUILD
    COMMAND ${NORVEX_DLLTOOL} -d ${windows_dir}/brimrt63_imports.def -D brimrt63.dll
            -l $<TARGET_LINKER_FILE:brimrt63>
    COMMENT "Import library of brimrt63.dll by ordinal")

