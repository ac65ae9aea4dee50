#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, and only those missing.
# Sourced by run.sh and test.sh.

velmora_packages=(
  g++ cmake ninja-build pkg-config
  # the formatting check that CI runs before the tests (scripts/check-format.sh)
  clang-format
  qt6-base-dev qt6-base-dev-tools
  libpugixml-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-wqy-microhei
  # Qt's own file and folder dialogs in the user's language
  qt6-translations-l10n
  libxcb1-dev
  xvfb xauth imagemagick xdotool
  # the desktop tests: a real window manager, X11 tools, a headless Wayland compositor and Qt's plugin
  openbox x11-utils weston qt6-wayland
  # the package test: building the .deb, checking its metadata, watching the program find its files
  dpkg-dev file appstream desktop-file-utils strace
  # GTK's own reader of its recent-files list, for the test that a scrambled video leaves it
  python3-gi gir1.2-gtk-3.0
  # the real Nautilus bindings, for the test of the GNOME Files menu item
  python3-nautilus
  # a private session bus for the test of velmora-cli's desktop notifications
  dbus-bin dbus-daemon dbus-session-bus-common
)

velmora_install_deps() {
  local missing=()
  local pkg
  for pkg in "${velmora_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
