#!/usr/bin/env bash
# Builds the Debian packages from an existing build/ and tries them as a user
# would: lintian and the desktop validators, apt-get install, a conversion
# with /usr/bin/tessaro-cli, the installed window started under Xvfb by an
# ordinary user and left through its exit button (it must write
# ~/.config/tessaro/setup.ini and leave /usr/lib/tessaro alone), a message
# sent from the installed window's feedback form to the installed receiver
# (tessaro-feedback-server, under systemd when it runs the machine, else
# started by hand; the window sees the site's host at 127.0.0.1 through a
# hosts file of its own mount namespace), then apt-get
# remove. Runs as root; idempotent. Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
user=tessaro-pkgtest
app=/usr/lib/tessaro
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "PASS $what"
        passed=$((passed + 1))
    else
        echo "FAIL $what"
        sed 's/^/    /' "$work/out" | tail -20
        failed=$((failed + 1))
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

if [ "$(id -u)" -ne 0 ]; then
    echo "packaging/test-package.sh needs root (apt-get, useradd)" >&2
    exit 2
fi
[ -f build/CMakeCache.txt ] || { echo "build/ is not configured: run scripts/build.sh first" >&2; exit 2; }

# --- the package -----------------------------------------------------------
rm -f build/tessaro_*.deb build/tessaro-feedback-server_*.deb
check "cpack builds the packages" bash -c 'cd build && cpack -G DEB'
deb=$(ls build/tessaro_*_amd64.deb 2>/dev/null | head -1)
server_deb=$(ls build/tessaro-feedback-server_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || finish
echo "package: $deb, $(du -k "$deb" | cut -f1) KiB; $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
check "Depends names each package once" bash -c "dpkg-deb -f '$deb' Depends | tr ',' '\n' |
    sed 's/(.*//; s/ //g' | sort | uniq -d | grep . && exit 1 || exit 0"

check "lintian finds no error" lintian --fail-on error --tag-display-limit 0 "$deb" "$server_deb"
sed 's/^/    /' "$work/out"
mkdir -p "$work/deb"
dpkg-deb -x "$deb" "$work/deb"
check "desktop-file-validate" desktop-file-validate "$work"/deb/usr/share/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$work"/deb/usr/share/metainfo/*.metainfo.xml

# --- install -----------------------------------------------------------------
dpkg-query -W -f='${Status}' tessaro 2>/dev/null | grep -q "install ok installed" &&
    apt-get remove -y tessaro >/dev/null
check "apt-get install brings everything" apt-get install -y "./$deb"
[ -x /usr/bin/tessaro-cli ] || finish
snapshot() { find "$app" -printf '%p %s %m %u %T@\n' | sort; }
snapshot >"$work/before"

id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
rm -rf "$home/.config/tessaro" "$home/Tessaro" "$home/out"
as_user() { runuser -u "$user" -- env -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM \
    HOME="$home" "$@"; }

# --- the installed command line ---------------------------------------------
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=frequency=440:duration=2 -shortest -f flv "$work/clip.flv"
chmod 644 "$work/clip.flv"
check "/usr/bin/tessaro-cli converts a clip (RMVB)" \
    as_user /usr/bin/tessaro-cli -f 0 -o "$home/out" "$work/clip.flv"
check "the output is a playable RMVB" \
    bash -c "ls '$home'/out/clip-*.rmvb >/dev/null && ffprobe -v error '$home'/out/clip-*.rmvb"

# --- the installed window, as an ordinary user ---------------------------------
cat >"$work/window.sh" <<'WINDOW'
#!/usr/bin/env bash
# Starts the installed window, waits for it, clicks its exit button (698x455
# frameless window; the button is at 672,10, 15x15) and waits for the end.
/usr/bin/tessaro &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tessaro$' | head -1)
[ -n "$wid" ] || { echo "no window"; kill "$pid"; exit 1; }
# Docks link the window to the menu entry by its class.
class=$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/example.tessaro.Tessaro.desktop)
xdotool search --class "^$class\$" | grep -qx "$wid" ||
    { echo "the window's class is not StartupWMClass=$class"; kill "$pid"; exit 1; }
sleep 1
xdotool mousemove --window "$wid" 679 17 click 1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.2; done
echo "the window did not exit"; kill "$pid"; exit 1
WINDOW
chmod 755 "$work/window.sh"
check "/usr/bin/tessaro starts and leaves through its exit button" \
    as_user xvfb-run -a -s '-screen 0 1024x768x24' "$work/window.sh"
check "setup.ini is written to ~/.config/tessaro" test -s "$home/.config/tessaro/setup.ini"
check "the default output folder is ~/Tessaro" grep -qF "\"$home/Tessaro\"" "$home/.config/tessaro/setup.ini"
snapshot >"$work/after"
check "/usr/lib/tessaro is unchanged" diff "$work/before" "$work/after"

# --- the feedback form to the installed receiver --------------------------------
check "apt-get install the receiver" apt-get install -y "./$server_deb"
check "its systemd unit verifies" systemd-analyze verify /usr/lib/systemd/system/tessaro-feedbackd.service
site=$(sed -n 's/^TESSARO_SITE:STRING=//p' build/CMakeCache.txt)
host=$(echo "$site" | sed -E 's|^https?://([^/:]+).*|\1|')
port=$(echo "$site" | sed -nE 's|^https?://[^/:]+:([0-9]+).*|\1|p')
port=${port:-80}
db=/var/lib/tessaro-feedbackd/feedback.db
if [ "${site%%:*}" = https ]; then
    echo "SKIP the form's message: the site $site is https, and its certificate is not ours"
elif ! unshare -m true 2>/dev/null; then
    echo "SKIP the form's message: no mount namespace here for the site's host name"
elif [ -x /usr/bin/tessaro-feedbackd ]; then
    { cat /etc/hosts; echo "127.0.0.1 $host"; } >"$work/hosts"
    if [ "$(ps -p 1 -o comm=)" = systemd ]; then
        # The site's port may be a privileged one: this test's service may bind it.
        mkdir -p /run/systemd/system/tessaro-feedbackd.service.d
        printf '[Service]\nExecStart=\nExecStart=/usr/bin/tessaro-feedbackd --config /etc/tessaro-feedbackd.conf --listen 127.0.0.1 --port %s\nAmbientCapabilities=CAP_NET_BIND_SERVICE\nCapabilityBoundingSet=CAP_NET_BIND_SERVICE\n' \
            "$port" >/run/systemd/system/tessaro-feedbackd.service.d/test.conf
        systemctl daemon-reload
        check "the receiver starts under systemd" systemctl start tessaro-feedbackd
        stop_receiver() { systemctl stop tessaro-feedbackd; rm -rf /run/systemd/system/tessaro-feedbackd.service.d; systemctl daemon-reload; }
    else
        db=$work/feedback.db
        /usr/bin/tessaro-feedbackd --config /etc/tessaro-feedbackd.conf --listen 127.0.0.1 \
            --port "$port" --database "$db" >"$work/receiver.log" 2>&1 &
        receiver=$!
        stop_receiver() { kill "$receiver"; wait "$receiver"; }
        echo "the receiver runs by hand (no systemd here): $(sleep 1; cat "$work/receiver.log")"
    fi
    cat >"$work/feedback.sh" <<'FEEDBACK'
#!/usr/bin/env bash
# Opens the feedback form from the link 意见反馈 (624,432, 48x13), types a
# message with Chinese text and clicks 发送 (114,237 in the form, 60x28).
/usr/bin/tessaro &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tessaro$' | head -1)
sleep 1
xdotool mousemove --window "$wid" 648 438 click 1
form=$(timeout 10 xdotool search --sync --onlyvisible --name '建议和意见' | head -1)
[ -n "$form" ] || { echo "no feedback form"; kill "$pid"; exit 1; }
# Keys typed before the form has taken the focus are lost.
sleep 2
xdotool type --delay 20 "包测试 Tester"
xdotool key Tab
xdotool type --delay 20 "tester@example.org"
xdotool key Tab
xdotool type --delay 20 "安装后的窗口发来的留言 & 100%"
xdotool mousemove --window "$form" 144 251 click 1
sleep 3
kill "$pid"
FEEDBACK
    chmod 755 "$work/feedback.sh"
    unshare -m bash -c "mount --bind '$work/hosts' /etc/hosts && exec runuser -u $user -- \
        env -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM HOME='$home' \
        xvfb-run -a -s '-screen 0 1024x768x24' '$work/feedback.sh'" >"$work/feedback.log" 2>&1
    echo ',127.0.0.1,包测试 Tester,tester@example.org,(MP4)安装后的窗口发来的留言 & 100%' >"$work/expected"
    check "the installed window's message is in the receiver's database" bash -c \
        "tessaro-feedbackd export --database '$db' | tr -d '\r' | grep -F -f '$work/expected' ||
         { tessaro-feedbackd export --database '$db'; cat '$work/feedback.log'; exit 1; }"
    stop_receiver
fi
check "apt-get remove the receiver" apt-get remove -y tessaro-feedback-server

# --- remove ------------------------------------------------------------------
check "apt-get remove" apt-get remove -y tessaro
check "nothing is left in /usr/lib/tessaro and /usr/bin" \
    bash -c "[ ! -e $app ] && [ ! -e /usr/bin/tessaro ] && [ ! -L /usr/bin/tessaro-cli ]"
finish
