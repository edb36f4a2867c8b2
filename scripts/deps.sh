#!/usr/bin/env bash
# Installs the Debian 12 packages VYRN needs that this machine lacks.
#   scripts/deps.sh          build and run dependencies
#   scripts/deps.sh --package  also what makes and checks the Debian package
#   scripts/deps.sh --test   also what the test suite and the fuzz targets need (and --package)
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev qt6-webengine-dev qtkeychain-qt6-dev
    libtesseract-dev libleptonica-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xtest0-dev libxcb-res0-dev libxcb-xfixes0-dev
    libatspi2.0-dev
    # run
    tesseract-ocr-eng tesseract-ocr-chi-sim tesseract-ocr-chi-tra fonts-noto-cjk gnome-keyring at-spi2-core
    libsecret-1-0 qt6-qpa-plugins fonts-noto-color-emoji
)
packaging=(
    # dpkg-shlibdeps and file: the package's library dependencies; the distribution's checks
    dpkg-dev file lintian appstream desktop-file-utils
    # scripts/check-package-install.sh: a fresh Debian root
    debootstrap
)
[[ " $* " == *" --package "* ]] && packages+=("${packaging[@]}")
if [[ " $* " == *" --test "* ]]; then
    packages+=("${packaging[@]}")
    packages+=(
        x11proto-dev xvfb xauth dbus-x11 dbus-daemon libsecret-tools xdotool xclip trayer
        x11-utils x11-xserver-utils
        desktop-file-utils libglib2.0-bin
        clang clang-format libclang-rt-14-dev ccache
    )
    # the window manager of the end-to-end tests; `import` for looking at the screen
    packages+=(openbox imagemagick)
    # real programs whose selected text the tests read
    packages+=(zenity xterm)
    # real Latin sans and serif fonts: an OCR rule test draws DejaVu Serif; bench_ocr draws its
    # crops and the tests' stored pictures (--write-test-images) with all of them
    packages+=(fonts-dejavu-core fonts-liberation2 fonts-noto-core)
    # what a desktop machine has beside them, so the suite runs as it would there: the
    # desktop portal (activated on demand), an older Liberation and more same-named fonts
    packages+=(xdg-desktop-portal xdg-desktop-portal-gtk fonts-liberation fonts-urw-base35 fonts-dejavu-extra)
    # the headless KDE Plasma session (scripts/wayland/kde-session.sh): KWin with Xwayland and
    # its shortcut service, and what builds the program that types through KWin
    packages+=(kwin-wayland xwayland qtwayland5 libkf5globalaccel-bin libkf5service-bin libwayland-dev libwayland-bin
        plasma-wayland-protocols gcc dbus-bin procps)
    # its wallet daemon, and what saves a key through the Secret Service beside it
    packages+=(libkf5wallet-bin libsecret-tools)
    # GNOME's keyboard settings in a private dconf (the GNOME keybinding tests), and a
    # headless GNOME Shell session for the Wayland tests
    packages+=(dconf-service dconf-gsettings-backend gsettings-desktop-schemas gnome-settings-daemon-common)
    packages+=(gnome-shell mutter gnome-settings-daemon)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "VYRN: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
        echo "VYRN: these Debian packages are missing and sudo is not available: ${missing[*]}" >&2
        echo "Install them as root with: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
