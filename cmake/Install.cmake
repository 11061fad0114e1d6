# Install rules for cadelo, cadelo-cli and their desktop files:
#   bin/cadelo, bin/cadelo-cli
#   lib/cadelo/libcadelo-ffmpeg.so, libcadelo-sdl.so   (opened when a job needs them)
#   share/cadelo/help/cadelo.html, cadelo.css         (the help page)
#   share/applications/io.github.cadelo.Cadelo.desktop
#   share/metainfo/io.github.cadelo.Cadelo.metainfo.xml
#   share/icons/hicolor/scalable/apps/io.github.cadelo.Cadelo.svg
#   share/man/man1/cadelo.1.gz, cadelo-cli.1.gz      (compressed, as Debian asks)
include(GNUInstallDirs)

set(CADELO_APP_ID io.github.cadelo.Cadelo)
set(CADELO_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)
set(CADELO_HELP_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/cadelo/help)

install(TARGETS cadelo cadelo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(CADELO_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cadelo)
install(TARGETS cadelo-ffmpeg cadelo-sdl LIBRARY DESTINATION ${CADELO_MODULE_INSTALL_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/cadelo.html
              ${CMAKE_SOURCE_DIR}/resources/help/cadelo_de.html
              ${CMAKE_SOURCE_DIR}/resources/help/cadelo_fr.html
              ${CMAKE_SOURCE_DIR}/resources/help/cadelo.css
        DESTINATION ${CADELO_HELP_INSTALL_DIR})
install(FILES ${CADELO_DESKTOP_DIR}/${CADELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CADELO_DESKTOP_DIR}/${CADELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CADELO_DESKTOP_DIR}/${CADELO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Compressed with the same bytes on every build (-n: no name or time inside).
foreach(page cadelo cadelo-cli)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/docs/${page}.1 > ${gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/${page}.1 VERBATIM)
  list(APPEND CADELO_MAN_PAGES ${gz})
endforeach()
add_custom_target(cadelo_man_pages ALL DEPENDS ${CADELO_MAN_PAGES})
install(FILES ${CADELO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The installed program finds its help page relative to its own folder, so the
# installed tree can be moved to another prefix (cmake --install --prefix).
file(RELATIVE_PATH CADELO_HELP_FROM_BINDIR
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/cadelo/help)
set_source_files_properties(${CMAKE_SOURCE_DIR}/core/HelpPage.cpp PROPERTIES
  COMPILE_DEFINITIONS "CADELO_INSTALLED_HELP_DIR=\"${CADELO_HELP_FROM_BINDIR}\"")
# The modules likewise, relative to the program's folder.
file(RELATIVE_PATH CADELO_MODULES_FROM_BINDIR
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/cadelo)
set_source_files_properties(${CMAKE_SOURCE_DIR}/audio/LoadableModule.cpp PROPERTIES
  COMPILE_DEFINITIONS "CADELO_INSTALLED_MODULE_DIR=\"${CADELO_MODULES_FROM_BINDIR}\"")

# In the build tree the page lies beside the programs (help/cadelo.html), where
# they look first; copied again whenever it changes.
foreach(page cadelo.html cadelo_de.html cadelo_fr.html cadelo.css)
  configure_file(${CMAKE_SOURCE_DIR}/resources/help/${page} ${CMAKE_BINARY_DIR}/help/${page} COPYONLY)
endforeach()
