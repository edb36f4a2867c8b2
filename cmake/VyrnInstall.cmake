# What `cmake --install` puts on a machine: the program, its menu entry and its icon in the
# hicolor theme, nothing else. The program itself is installed in src/CMakeLists.txt.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
# The menu entry names the installed program by its full path, taken at install time (so
# `--prefix` counts): a first install into ~/.local is on PATH only from the next login.
install(CODE "
    set(VYRN_DESKTOP_SOURCE \"${PROJECT_SOURCE_DIR}/data/vyrn.desktop\")
    set(VYRN_DESKTOP_STAGE \"${CMAKE_BINARY_DIR}/install-stage/vyrn.desktop\")
    set(VYRN_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(VYRN_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake)
