# What `cmake --install` puts on a machine, and so what the Debian package holds: the program
# and its accessibility helper (installed in src/CMakeLists.txt), the menu entry, the icon in
# the hicolor theme, the AppStream metadata, the manual page, the copyright and change log.
set(VYRN_APP_ID app.vyrn.Vyrn)
set(VYRN_STAGE ${CMAKE_BINARY_DIR}/install-stage)
# The release's date: the build's, or the one a reproducible build fixes in SOURCE_DATE_EPOCH.
string(TIMESTAMP VYRN_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP VYRN_RELEASE_STAMP "%a, %d %b %Y %H:%M:%S +0000" UTC)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
configure_file(${PROJECT_SOURCE_DIR}/data/${VYRN_APP_ID}.metainfo.xml ${VYRN_STAGE}/${VYRN_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${VYRN_STAGE}/${VYRN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vyrn)

# Manual page and change log go compressed, as Debian keeps them (gzip -n: no name or time
# inside, so equal sources give equal files).
configure_file(${PROJECT_SOURCE_DIR}/data/man/vyrn.1 ${VYRN_STAGE}/vyrn.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.Debian.in ${VYRN_STAGE}/changelog.Debian @ONLY)
foreach(document vyrn.1 changelog.Debian)
    add_custom_command(OUTPUT ${VYRN_STAGE}/${document}.gz
                       COMMAND gzip -9 -n -c ${VYRN_STAGE}/${document} > ${VYRN_STAGE}/${document}.gz
                       DEPENDS ${VYRN_STAGE}/${document} VERBATIM)
    list(APPEND vyrn_documents ${VYRN_STAGE}/${document}.gz)
endforeach()
add_custom_target(vyrn_documents ALL DEPENDS ${vyrn_documents})
install(FILES ${VYRN_STAGE}/vyrn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VYRN_STAGE}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vyrn)

# The menu entry names the installed program by its full path, taken at install time (so
# `--prefix` counts): a first install into ~/.local is on PATH only from the next login.
install(CODE "
    set(VYRN_DESKTOP_SOURCE \"${PROJECT_SOURCE_DIR}/data/${VYRN_APP_ID}.desktop\")
    set(VYRN_DESKTOP_STAGE \"${VYRN_STAGE}/${VYRN_APP_ID}.desktop\")
    set(VYRN_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(VYRN_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake)
