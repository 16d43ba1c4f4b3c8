# The Windows modules, included by the top-level CMakeLists.txt when cross-building with
# mingw-w64 (cmake/toolchain-mingw-*.cmake):
#   Norvex63.dll  exactly the 20 names of resources/Norvex63.def, undecorated, stdcall on i686;
#                 imports brimrt63.dll by ordinal and otherwise only system DLLs;
#   Norvex51.dll  resource-only: the string table of resources/norvex51.rc;
# and the command's argument parser. brimrt63.dll is made in cmake/windows_runtime.cmake.
# Module names carry no "lib" prefix, as the library looks them up by these names.
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
file(MAKE_DIRECTORY ${windows_dir})
include(${CMAKE_SOURCE_DIR}/cmake/windows_defs.cmake)
norvex_write_defs(${CMAKE_SOURCE_DIR}/resources/Norvex63.def Norvex63 ${windows_dir} OFF)
norvex_use_defs(Norvex63 Norvex63 ${windows_dir})
target_link_libraries(Norvex63 PRIVATE norvex_windows_crt user32 kernel32)

add_library(Norvex51 SHARED ${CMAKE_SOURCE_DIR}/resources/norvex51.rc)
set_target_properties(Norvex51 PROPERTIES PREFIX "" LINKER_LANGUAGE C)
target_link_options(Norvex51 PRIVATE -nostdlib -Wl,-e,0)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/norvex51.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_SOURCE_DIR}/resources/string_texts.inc)

# The command's argument parser is header-only: its headers are taken from the build machine,
# without the rest of that machine's include folder.
if(NOT CLI11_DIR)
    find_path(NORVEX_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
    if(NORVEX_CLI11_INCLUDE)
        file(MAKE_DIRECTORY ${windows_dir}/include ${windows_dir}/cli11)
        file(CREATE_LINK ${NORVEX_CLI11_INCLUDE}/CLI ${windows_dir}/include/CLI SYMBOLIC)
        file(WRITE ${windows_dir}/cli11/CLI11Config.cmake
             "add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
             "set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "
             "${windows_dir}/include)\n")
        set(CLI11_DIR ${windows_dir}/cli11 CACHE PATH "" FORCE)
    endif()
endif()
# The same for the JSON library of the command's reports.
if(NOT nlohmann_json_DIR)
    find_path(NORVEX_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
    if(NORVEX_JSON_INCLUDE)
        file(MAKE_DIRECTORY ${windows_dir}/include ${windows_dir}/nlohmann_json)
        file(CREATE_LINK ${NORVEX_JSON_INCLUDE}/nlohmann ${windows_dir}/include/nlohmann SYMBOLIC)
        file(WRITE ${windows_dir}/nlohmann_json/nlohmann_jsonConfig.cmake
             "add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
             "set_target_properties(nlohmann_json::nlohmann_json PROPERTIES "
             "INTERFACE_INCLUDE_DIRECTORIES ${windows_dir}/include)\n")
        file(WRITE ${windows_dir}/nlohmann_json/nlohmann_jsonConfigVersion.cmake
             "set(PACKAGE_VERSION 3.11)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
        set(nlohmann_json_DIR ${windows_dir}/nlohmann_json CACHE PATH "" FORCE)
    endif()
endif()
