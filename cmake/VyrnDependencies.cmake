# Every library the program needs is looked up here, so a missing one stops the
# configure step at once and names the Debian package that provides it.

function(vyrn_missing what package)
    message(FATAL_ERROR "VYRN needs ${what}, which was not found.\n"
                        "Install it with:  sudo apt-get install ${package}\n"
                        "(scripts/deps.sh installs everything at once.)")
endfunction()

find_package(Qt6 6.4 QUIET COMPONENTS Core Gui Widgets Network DBus Concurrent Test)
if(NOT Qt6_FOUND)
    vyrn_missing("Qt 6 (Core, Gui, Widgets, Network, DBus, Concurrent, Test)" "qt6-base-dev")
endif()
find_package(Qt6 6.4 QUIET COMPONENTS Quick WebEngineWidgets)
if(NOT Qt6WebEngineWidgets_FOUND OR NOT Qt6Quick_FOUND)
    vyrn_missing("Qt 6 WebEngine" "qt6-webengine-dev")
endif()
find_package(Qt6Keychain QUIET)
if(NOT Qt6Keychain_FOUND)
    vyrn_missing("QtKeychain for Qt 6" "qtkeychain-qt6-dev")
endif()

find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
    vyrn_missing("pkg-config" "pkg-config")
endif()

function(vyrn_pkg target module package)
    pkg_check_modules(${target} QUIET IMPORTED_TARGET ${module})
    if(NOT ${target}_FOUND)
        vyrn_missing("${module} (pkg-config)" "${package}")
    endif()
endfunction()

vyrn_pkg(Tesseract tesseract libtesseract-dev)
vyrn_pkg(Leptonica lept libleptonica-dev)
vyrn_pkg(Xcb xcb libxcb1-dev)
vyrn_pkg(XcbKeysyms xcb-keysyms libxcb-keysyms1-dev)
vyrn_pkg(XcbXtest xcb-xtest libxcb-xtest0-dev)
vyrn_pkg(XcbRes xcb-res libxcb-res0-dev)
vyrn_pkg(XcbXfixes xcb-xfixes libxcb-xfixes0-dev)
vyrn_pkg(Atspi atspi-2 libatspi2.0-dev)
vyrn_pkg(GObject gobject-2.0 libglib2.0-dev)
vyrn_pkg(Gio gio-2.0 libglib2.0-dev)
