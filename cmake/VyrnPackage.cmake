# The Debian package, made by CPack from exactly what `cmake --install` installs (see
# scripts/package.sh). Library dependencies are computed from the binaries (dpkg-shlibdeps);
# what VYRN loads or talks to at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vyrn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VYRN_BUILD_NUMBER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install script that writes the menu entry takes the prefix it installs to as the
# program's path; with DESTDIR staging that prefix is /usr, not CPack's staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${VYRN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translate English on the screen into Chinese")
# The synopsis is the summary above; CPack indents these lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VYRN is a study aid for Chinese-speaking readers of English. A hotkey freezes
the screen and lets you drag a rectangle over English text, or takes the text
selected in any program; a floating panel then shows a natural Chinese
translation, the important vocabulary and the common phrases.

Text is recognised on the computer with Tesseract; only the recognised text is
sent to the chat-completions service chosen in the settings (DeepSeek or Qwen)
with the user's own API key, kept in the desktop's key store.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Run-time data and services: the language data of both Chinese scripts' recognition
# (traditional only when switched on), the fonts the result page and panels show, the
# accessibility bus the selection is read through, libsecret (loaded by QtKeychain when it
# starts) and a Secret Service that keeps the API keys (else a file readable by the user).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "tesseract-ocr-eng, tesseract-ocr-chi-sim, fonts-noto-cjk, fonts-noto-color-emoji, at-spi2-core, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-chi-tra, gnome-keyring | kwalletmanager")
include(CPack)
