# The files the registration writes for each file manager (shims/) and the .zdb type with
# its icon (data/), built into libzelshell.so: the library writes them from itself and
# needs no data folder at run time. embed.cmake turns them into one generated source.
set(zelshell_embedded_files
    ${CMAKE_CURRENT_LIST_DIR}/actions-properties.desktop
    ${CMAKE_CURRENT_LIST_DIR}/actions-rename.desktop
    ${CMAKE_CURRENT_LIST_DIR}/actions-update.desktop
    ${CMAKE_CURRENT_LIST_DIR}/application.desktop
    ${CMAKE_CURRENT_LIST_DIR}/dolphin-rename.desktop
    ${CMAKE_CURRENT_LIST_DIR}/dolphin-zdb.desktop
    ${CMAKE_CURRENT_LIST_DIR}/launcher.desktop
    ${CMAKE_CURRENT_LIST_DIR}/nautilus-extension.py
    ${CMAKE_CURRENT_LIST_DIR}/nemo-properties.nemo_action
    ${CMAKE_CURRENT_LIST_DIR}/nemo-rename.nemo_action
    ${CMAKE_CURRENT_LIST_DIR}/nemo-update.nemo_action
    ${CMAKE_CURRENT_LIST_DIR}/thunar-actions.xml
    ${PROJECT_SOURCE_DIR}/data/zelkon-zdb.xml
    ${PROJECT_SOURCE_DIR}/data/icons/application-x-zelkon-zdb.svg)
set(zelshell_embedded_source ${CMAKE_CURRENT_BINARY_DIR}/embedded_files.cpp)
add_custom_command(
    OUTPUT ${zelshell_embedded_source}
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${zelshell_embedded_source}"
            "-DINPUTS=${zelshell_embedded_files}" -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
    DEPENDS ${zelshell_embedded_files} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
    COMMENT "Embedding the file-manager shims into libzelshell.so"
    VERBATIM)
target_sources(libzelshell PRIVATE ${zelshell_embedded_source})

# Where the install puts zelshell as seen from the library's folder (<libdir>/zelkon), for a
# library that finds no zelshell beside itself.
include(GNUInstallDirs)
file(RELATIVE_PATH zelshell_program_from_library "/root-of-install/${CMAKE_INSTALL_LIBDIR}/zelkon"
     "/root-of-install/${CMAKE_INSTALL_BINDIR}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(zelshell_program_from_library "${CMAKE_INSTALL_FULL_BINDIR}")
endif()
target_compile_definitions(libzelshell PRIVATE
                           "ZELSHELL_PROGRAM_FROM_LIBRARY=\"${zelshell_program_from_library}\"")
