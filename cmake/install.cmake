# What cmake --install puts where:
#   <bindir>/zelkon, <bindir>/zelkon-cli        the programs
#   <bindir>/zelshell                           the file managers' host program
#   <libdir>/zelkon/libzelcore.so               the helper library, private to the programs
#   <libdir>/zelkon/libzelshell.so              the file-manager library zelshell loads
#   <datadir>/applications/zelkon.desktop       the desktop menu entry
#   <datadir>/mime/packages/zelkon-zdb.xml      the .zdb file type
#   <datadir>/icons/hicolor/<size>/{apps,mimetypes}/  the icons, PNG sizes and scalable SVG
#   <datadir>/bash-completion/completions/zelkon-cli, <datadir>/zsh/vendor-completions/_zelkon-cli
#   <mandir>/man1/zelkon-cli.1                  zelkon-cli's completions and manual page
# The programs load the library from their own folder when it is there (a build), else from
# the library folder of the install, found relative to the program's folder.
include(GNUInstallDirs)

set(ZELKON_INSTALL_LIBRARY_DIR "${CMAKE_INSTALL_LIBDIR}/zelkon")
# Both folders are taken under one made-up root to get the way from one to the other;
# absolute folders (a packager's choice) give an absolute way.
file(RELATIVE_PATH zelkon_library_from_program "/root-of-install/${CMAKE_INSTALL_BINDIR}"
     "/root-of-install/${ZELKON_INSTALL_LIBRARY_DIR}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(zelkon_library_from_program "${CMAKE_INSTALL_FULL_LIBDIR}/zelkon")
endif()
set_property(SOURCE core/zelcore_library.cpp DIRECTORY core APPEND PROPERTY COMPILE_DEFINITIONS
             "ZELKON_LIBRARY_FROM_PROGRAM=\"${zelkon_library_from_program}\"")

install(TARGETS zelkon-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zelkon)
    install(TARGETS zelkon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS zelshell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Loaded by name with dlopen, never linked: no soname links, no development files.
install(TARGETS zelcore libzelshell LIBRARY DESTINATION ${ZELKON_INSTALL_LIBRARY_DIR})

set(zelkon_data "${CMAKE_CURRENT_SOURCE_DIR}/data")
install(FILES ${zelkon_data}/zelkon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${zelkon_data}/zelkon-zdb.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
set(zelkon_icons "${CMAKE_INSTALL_DATADIR}/icons/hicolor")
install(DIRECTORY ${zelkon_data}/icons/hicolor/ DESTINATION ${zelkon_icons}
        FILES_MATCHING PATTERN "*.png")
install(FILES ${zelkon_data}/icons/zelkon.svg DESTINATION ${zelkon_icons}/scalable/apps)
install(FILES ${zelkon_data}/icons/application-x-zelkon-zdb.svg
        DESTINATION ${zelkon_icons}/scalable/mimetypes)
install(FILES ${ZELKON_CLI_DOCS_DIR}/zelkon-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${ZELKON_CLI_DOCS_DIR}/_zelkon-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${ZELKON_CLI_DOCS_DIR}/zelkon-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Installed straight into a system or a home (not staged for a package, whose own triggers
# do this): the desktop learns the new file type and menu entry at once.
if(IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}")
    install(CODE "set(zelkon_data \"${CMAKE_INSTALL_DATADIR}\")")
else()
    install(CODE "set(zelkon_data \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")")
endif()
install(CODE [[
    if("$ENV{DESTDIR}" STREQUAL "")
        find_program(zelkon_update_mime update-mime-database)
        find_program(zelkon_update_desktop update-desktop-database)
        if(zelkon_update_mime)
            execute_process(COMMAND ${zelkon_update_mime} "${zelkon_data}/mime")
        endif()
        if(zelkon_update_desktop)
            execute_process(COMMAND ${zelkon_update_desktop} "${zelkon_data}/applications")
        endif()
    endif()
]])
