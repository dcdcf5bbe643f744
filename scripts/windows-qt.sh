#!/usr/bin/env bash
# Builds Qt for Windows (mingw-w64, x86_64, shared, release) from Debian's
# qt6-base source package, the host Qt's own version, and installs it into a
# cache folder outside the work tree that every later Windows build reuses:
#   ${TESSARO_QT_CACHE:-$HOME/.cache/tessaro/qt-win}/prefix
# Only what Tessaro uses is built: Core, Gui, Widgets, Network, and Test for
# the window's tests; the windows, offscreen and minimal platform plugins;
# Schannel for TLS; the third-party libraries bundled with Qt. A stamp file
# (the Debian version of the source and a hash of the configure options, the
# patch and the toolchain) decides whether to rebuild; when the cache is up to
# date the script only prints the prefix. Two runs at once (CI builds Qt in
# the background) take turns: the second waits for the first, then finds the
# cache up to date.
# Progress goes to stderr; the last thing on stdout is the install prefix.
# A build takes about half an hour on two cores; the build folder (~900 MB)
# is removed after a successful install.
set -euo pipefail
cache=$(realpath -m "${TESSARO_QT_CACHE:-$HOME/.cache/tessaro/qt-win}")
cd "$(dirname "$0")/.."
root=$PWD
exec 3>&1 1>&2  # stdout is kept for the prefix alone

prefix=$cache/prefix
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
patch_file=$root/scripts/windows-qt-directwrite.patch
toolchain=$root/cmake/mingw-w64-x86_64.cmake

# The host Qt provides the build tools (moc, rcc, uic, syncqt) and must be
# the same version as the Qt built here; install-deps.sh brings it, the
# cross compiler and the build tools.
scripts/install-deps.sh
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)  # e.g. 6.4.2+dfsg-10
host_version=${host_version#*:}                             # no epoch
qt_version=${host_version%%[+-]*}                           # 6.4.2

build=$cache/build
# The project's toolchain, minus what suits only the project's own programs:
# Qt's DLLs must not be linked with -static, and nothing runs under Wine here.
toolchain_text="include($toolchain)
set(CMAKE_EXE_LINKER_FLAGS_INIT \"\")
unset(CMAKE_CROSSCOMPILING_EMULATOR)"
# tabletevent: Debian's trimmed tarball lacks src/3rdparty/wintab.
# direct2d: off (nothing in Tessaro draws through it); see the patch below.
configure_args=(-prefix "$prefix" -release -shared
  -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -qt-host-path /usr
  -nomake examples -nomake tests -no-dbus -no-opengl -no-openssl -no-icu
  -- -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake"
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_zstd=OFF
  -DFEATURE_sql=OFF -DFEATURE_testlib=ON -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_pdf=OFF -DFEATURE_vulkan=OFF -DFEATURE_mdiarea=OFF
  -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_schannel=ON
  -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF)

# Where the source tree lies is no part of it: any checkout reuses the cache.
stamp_text="qt $host_version $({ printf '%s\n' "${configure_args[@]}" "${toolchain_text//"$root"/}"
  cat "$patch_file" "$toolchain"; } | sha256sum | cut -d' ' -f1)"
if [ -f "$cache/stamp" ] && [ "$(cat "$cache/stamp")" = "$stamp_text" ] &&
   [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  echo "$prefix" >&3
  exit 0
fi
echo "building Qt $qt_version for Windows into $prefix"
rm -rf "$prefix" "$cache/stamp"

# --- Source: apt-get source through an apt configuration of our own --------
# A deb-src line for every deb line of the machine's sources (one-line and
# deb822 formats), in a sources list that only this script reads; lists and
# downloads live under the cache, so the system's apt state stays untouched.
apt_dir=$cache/apt
mkdir -p "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial" "$cache/src"
{
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    if [ -f "$f" ]; then sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f"; fi
  done
  # deb822: one stanza per blank-line-separated block.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no") {
          n = split(uris, u, " "); m = split(suites, s, " ")
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            print "deb-src " (signed != "" ? "[signed-by=" signed "] " : "") u[i] " " s[j] " " comps
        }
        types = uris = suites = comps = signed = enabled = ""
      }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "") }
      key == "types" { types = $0 } key == "uris" { uris = $0 } key == "suites" { suites = $0 }
      key == "components" { comps = $0 } key == "signed-by" { signed = $0 } key == "enabled" { enabled = $0 }
      END { flush() }' "$f"
  done
} >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State=$apt_dir/state" -o "Dir::Cache=$apt_dir/cache")
# apt drops to the _apt user for downloads, who cannot write under a home folder.
[ "$(id -u)" -ne 0 ] || apt_opts+=(-o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update
(cd "$cache/src" && apt-get "${apt_opts[@]}" source --download-only "qt6-base=$host_version")

# --- Unpack and patch --------------------------------------------------------
rm -rf "$build"
mkdir -p "$build"
dpkg-source --skip-patches -x "$cache/src/qt6-base_$host_version.dsc" "$build/qtbase"
src=$build/qtbase
# Debian's own patches (security fixes among them), except cross.patch: it
# serves Debian's Android cross builds only.
while read -r p; do
  case $p in ''|'#'*|cross.patch) continue ;; esac
  patch -d "$src" -p1 --forward --quiet <"$src/debian/patches/$p"
done <"$src/debian/patches/series"
patch -d "$src" -p1 --forward --quiet <"$patch_file"

echo "$toolchain_text" >"$build/toolchain.cmake"

# --- Configure, build, install -----------------------------------------------
obj=$build/obj
mkdir -p "$obj"
cd "$obj"
t0=$(date +%s)
nice "$src/configure" "${configure_args[@]}"
t1=$(date +%s)
nice cmake --build . --parallel "$(nproc)"
t2=$(date +%s)
cmake --install . >/dev/null
t3=$(date +%s)

cd "$cache"
rm -rf "$build"
echo "$stamp_text" >"$cache/stamp"
echo "Qt $qt_version for Windows: configure $((t1 - t0)) s, build $(((t2 - t1) / 60)) min $(((t2 - t1) % 60)) s, install $((t3 - t2)) s"
echo "installed size: $(du -sh "$prefix" | cut -f1) in $prefix"
echo "$prefix" >&3
