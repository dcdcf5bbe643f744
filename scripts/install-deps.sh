#!/usr/bin/env bash
# Installs the Debian packages Tessaro needs to build, run and test, when any
# is missing, the Windows cross build, Wine and the installer's tools
# included. Idempotent; uses sudo when not root.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libgmock-dev qt6-base-dev qt6-multimedia-dev libgl-dev
          ffmpeg fonts-noto-cjk xvfb xauth xdotool imagemagick python3
          qt6-translations-l10n
          dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
          pkg-config libopencore-amrnb-dev libmicrohttpd-dev libsqlite3-dev openssl
          clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix wine wine64 locales nsis tesseract-ocr tesseract-ocr-chi-sim
          ninja-build patch qt6-base-dev-tools
          libsystemd-dev dbus-daemon python3-dbusmock)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm (the Windows ffmpeg.exe comes from its registry) may come with a Node.js
# from outside Debian.
command -v npm >/dev/null || missing+=(npm)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
# zh_CN.UTF-8 gives Wine the ANSI code page 936.
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
