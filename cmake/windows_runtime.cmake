# brimrt63.dll, included by runtime/CMakeLists.txt when cross-building for Windows (see
# cmake/windows_modules.cmake for the other modules): the runtime's operations at the
# ordinals of resources/brimrt63.def, and an import library through which every caller
# imports them by ordinal.
include(${CMAKE_SOURCE_DIR}/cmake/windows_defs.cmake)
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
file(MAKE_DIRECTORY ${windows_dir})
norvex_write_defs(${CMAKE_SOURCE_DIR}/resources/brimrt63.def brimrt63 ${windows_dir} ON)
norvex_use_defs(brimrt63 brimrt63 ${windows_dir})
target_link_libraries(brimrt63 PRIVATE norvex_windows_crt)
