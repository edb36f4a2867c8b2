#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root and uses it there as a user would:
#   scripts/check-package-install.sh [--keep]
# Makes the package and an upgrade (the next build number) with scripts/package.sh, creates a
# minimal Debian 12 root with debootstrap, installs the package with apt, which resolves its
# dependencies from the archive, and then, as an ordinary user under Xvfb with a session bus
# and an unlocked keyring: starts `vyrn --background` and waits for its ready line; runs a
# screenshot translation of an English paragraph shown in a window and a selection
# translation of a line selected in xterm, both against a chat-completions server on the
# loopback, and checks what reached it; installs the upgrade while VYRN runs, starts the new
# `vyrn` and sees the running one restart into it; removes the package and lists what is
# left. Slow (minutes); needs root and the Debian archive. --keep keeps the root for a look.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
keep=0
[[ "${1:-}" == "--keep" ]] && keep=1
[[ $(id -u) -eq 0 ]] || { echo "check-package-install.sh: needs root (debootstrap, chroot)" >&2; exit 1; }

work=$(mktemp -d /var/tmp/vyrn-install-check.XXXXXX)
root=$work/root
mounted=()
cleanup() {
    # Whatever the session left running in the root (a keyring daemon, an accessibility bus).
    for proc in /proc/[0-9]*; do
        [[ $(readlink "$proc/root" 2>/dev/null) == "$root" ]] && kill -9 "${proc#/proc/}" 2>/dev/null
    done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
    if [[ $keep -eq 1 ]]; then echo "root kept in $root"; else rm -rf "$work"; fi
}
trap cleanup EXIT
step() { echo; echo "=== $*"; }
fail() { echo "check-package-install: FAILED: $*" >&2; exit 1; }

step "packages"
scripts/deps.sh --package
first=$(scripts/package.sh)
build=$(dpkg-deb -f "$first" Version)
build=${build##*-}
cp "$first" "$work/"
upgrade=$(scripts/package.sh --build-number $((build + 1)))
cp "$upgrade" "$work/"
# Back to the build number of CMakeLists.txt, for the next run of the test command.
scripts/package.sh >/dev/null
first=$work/$(basename "$first")
upgrade=$work/$(basename "$upgrade")
ls -l "$first" "$upgrade"

step "fresh Debian 12 root (debootstrap --variant=minbase bookworm)"
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
debootstrap --variant=minbase bookworm "$root" "${mirror:-http://deb.debian.org/debian}" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log"; fail "debootstrap"; }
echo "debootstrap: $(du -sh "$root" | cut -f1)"
# As an installed Debian 12 has them: the updates and security suites, a resolver.
cat >>"$root/etc/apt/sources.list" <<EOF
deb ${mirror:-http://deb.debian.org/debian} bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
for fs in proc sys dev dev/pts; do
    mount --bind "/$fs" "$root/$fs"
    mounted+=("$root/$fs")
done
mount -t tmpfs tmpfs "$root/dev/shm" && mounted+=("$root/dev/shm")
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

step "apt install ./$(basename "$first")"
cp "$first" "$upgrade" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$first")" >"$work/apt.log" 2>&1 ||
    { tail -n 30 "$work/apt.log"; fail "apt could not install the package"; }
grep -E "^(The following NEW packages|[0-9]+ upgraded)" "$work/apt.log"
echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version}\n' vyrn)"
echo "packages in the root: $(in_root dpkg-query -W -f='.\n' | wc -l)"
# What the test drives VYRN with; not what VYRN needs.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    xvfb xauth xdotool x11-utils xterm openbox python3 libsecret-tools procps >"$work/apt-tools.log" 2>&1 ||
    { tail -n 30 "$work/apt-tools.log"; fail "the test tools"; }
in_root useradd -m -s /bin/bash lin

# The user's session, run inside the root: everything below talks only to 127.0.0.1.
cat >"$root/tmp/chat.py" <<'EOF'
import http.server, json, sys
ANSWER = ("## 译文\n敏捷的棕色狐狸跳过了懒狗。\n\n## 重点词汇\n| 单词 | 音标 | 词性 | 释义 |\n"
          "|---|---|---|---|\n| vocabulary | /vəˈkæbjələri/ | n. | 词汇 |\n\n## 常用短语\n- every day：每天\n")
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        with open(sys.argv[2], "a") as log:
            log.write(json.dumps({"path": self.path, "authorization": self.headers.get("Authorization"),
                                  "model": body.get("model"), "text": body["messages"][-1]["content"]},
                                 ensure_ascii=False) + "\n")
        out = json.dumps({"choices": [{"message": {"role": "assistant", "content": ANSWER}}]}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(out)))
        self.end_headers()
        self.wfile.write(out)
    def log_message(self, *args):
        pass
http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
EOF
cat >"$root/tmp/session.sh" <<'EOF'
#!/bin/bash
# Runs as the user inside Xvfb and a session bus.
set -uo pipefail
cd "$HOME"
log=$HOME/.local/state/vyrn/vyrn.log
requests=/tmp/requests.jsonl
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi; }
failed=0
wait_log() { # text, count, seconds
    for _ in $(seq $(($3 * 10))); do
        [[ $(grep -cF -- "$1" "$log" 2>/dev/null) -ge $2 ]] && return 0
        sleep 0.1
    done
    return 1
}
eval "$(echo -n vyrn | gnome-keyring-daemon --unlock --components=secrets)"
openbox --sm-disable >/dev/null 2>&1 &
python3 /tmp/chat.py 8765 "$requests" &
mkdir -p .config/vyrn
printf '{"kavelin.apiProvider": "deepseek", "kavelin.baseURL.deepseek": "http://127.0.0.1:8765"}\n' >.config/vyrn/preferences.json
printf %s "$(printf %s sk-local-check | base64)" |
    secret-tool store --label=com.vyrn.kavelin xdg:schema org.qt.keychain \
        user kavelin.apikey.deepseek server com.vyrn.kavelin type base64
sleep 1

echo "--- vyrn --background"
vyrn --background >/tmp/vyrn.out 2>&1 &
check "ready line in the log" 'wait_log " 就绪 — " 1 60'
grep -F " 就绪 — " "$log"
grep -E "密钥存储|Accessibility" "$log" | head -n 3
pid=$(pgrep -x vyrn)
echo "running: pid $pid, $(readlink /proc/$pid/exe)"

echo "--- screenshot translation of a paragraph in a window"
printf '%s\n' "The quick brown fox jumps over the lazy dog." \
    "Reading English every day builds a strong vocabulary." >/tmp/paragraph.txt
xterm -T paragraph -geometry 60x4+40+60 -fa Monospace -fs 18 -bg white -fg black \
    -e sh -c 'cat /tmp/paragraph.txt; printf "\033[?25l"; exec sleep 100000' &
for _ in $(seq 100); do window=$(xdotool search --name '^paragraph$' 2>/dev/null | head -n1); [[ -n $window ]] && break; sleep 0.1; done
sleep 1
# xwininfo, not xdotool: under a window manager xdotool counts the title bar twice.
X=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left X: *//p')
Y=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left Y: *//p')
WIDTH=$(xwininfo -id "$window" | sed -n 's/.*Width: *//p')
HEIGHT=$(xwininfo -id "$window" | sed -n 's/.*Height: *//p')
echo "paragraph window at $X,$Y, ${WIDTH}x$HEIGHT"
vyrn --screenshot
for _ in $(seq 100); do xdotool search --name '^VYRN 截图' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
xdotool mousemove $((X + 4)) $((Y + 4)) mousedown 1 mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) \
    mousemove $((X + WIDTH - 4)) $((Y + HEIGHT - 4)) mouseup 1
check "screenshot translation finished" 'wait_log "流水线完成" 1 60'
check "the request carried the recognised paragraph" 'grep -q "quick brown fox jumps over the lazy dog" "$requests" && grep -q "strong vocabulary" "$requests"'
check "with the key from the keyring" 'grep -q "Bearer sk-local-check" "$requests"'
sleep 1
xdotool key Escape
sleep 1

echo "--- selection translation of a line selected in xterm"
xdotool mousemove $((X + 30)) $((Y + 15)) click --repeat 3 --delay 80 1
sleep 0.5
vyrn --selection
check "selection translation finished" 'wait_log "划词翻译流水线完成" 1 60'
check "the request carried the selected line" '[[ $(wc -l <"$requests") -eq 2 ]] && tail -n1 "$requests" | grep -q "quick brown fox jumps over the lazy dog"'
sleep 1
xdotool key Escape
echo "requests received:"
cat "$requests"
sha256sum .config/vyrn/preferences.json >/tmp/config.sum

echo "--- waiting for the upgrade"
touch /tmp/session-ready
for _ in $(seq 1800); do [[ -f /tmp/upgraded ]] && break; sleep 0.1; done
check "VYRN still runs after the upgrade" 'kill -0 $pid'
echo "after the upgrade: pid $pid, $(readlink /proc/$pid/exe)"
new=$(vyrn --version)
echo "the installed program now: $new"
vyrn
check "the running one restarted into the new program" 'wait_log "===== ${new} 启动 =====" 1 60 && wait_log "已由 VYRN" 1 30'
check "in the same process" 'kill -0 $pid && [[ $(pgrep -x vyrn) == "$pid" ]]'
echo "now: pid $pid, $(readlink /proc/$pid/exe)"
check "settings untouched" 'sha256sum -c --quiet /tmp/config.sum'
check "key store untouched" '[[ $(secret-tool lookup user kavelin.apikey.deepseek server com.vyrn.kavelin) == $(printf %s sk-local-check | base64) ]]'
vyrn --quit
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill $(jobs -p) "${GNOME_KEYRING_PID:-}" 2>/dev/null
exit $failed
EOF
chmod +x "$root/tmp/session.sh"

step "the user's session"
in_root runuser -u lin -- env HOME=/home/lin LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-lin \
    sh -c 'mkdir -m 700 -p /tmp/runtime-lin; xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- /tmp/session.sh' \
    >"$work/session.log" 2>&1 &
session=$!
for _ in $(seq 3000); do [[ -f $root/tmp/session-ready ]] || ! kill -0 $session 2>/dev/null && break; sleep 0.1; done
grep -vE "^dbus-daemon|^$" "$work/session.log" || true

step "apt install ./$(basename "$upgrade") while VYRN runs"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$upgrade")" 2>&1 | grep -E "^(Preparing|Unpacking|Setting up) vyrn"
touch "$root/tmp/upgraded"
session_status=0
wait $session || session_status=$?
sed -n '/--- waiting for the upgrade/,$p' "$work/session.log" | grep -vE "^dbus-daemon|^$" | tail -n +2
echo "VYRN's log:"
grep -vE "^$" "$root/home/lin/.local/state/vyrn/vyrn.log" | sed 's/^/  /'

step "apt remove vyrn"
in_root dpkg -L vyrn >"$work/package-files"
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q vyrn 2>&1 | grep -E "^Removing" || true
left=0 shared=0
while IFS= read -r path; do
    if [[ -d $root$path ]]; then
        shared=$((shared + 1))
    elif [[ -e $root$path ]]; then
        echo "  left: $path"
        left=$((left + 1))
    fi
done <"$work/package-files"
echo "of the package's $(wc -l <"$work/package-files") paths: $left files left; $shared folders stay, which other packages share"
[[ $left -eq 0 ]] || fail "removal left files of the package"
echo "files named vyrn left outside the user's home and /tmp:"
find "$root" -xdev \( -path "$root/home" -o -path "$root/tmp" -o -path "$root/proc" \) -prune -o -iname '*vyrn*' -print | sed "s|^$root||"
echo "dpkg's own records of vyrn: $(in_root dpkg-query -W -f='${Status}\n' vyrn 2>&1)"
echo "left in the user's home (never the package's to touch):"
find "$root/home/lin/.config/vyrn" "$root/home/lin/.local/state/vyrn" -type f | sed "s|^$root||"

[[ $session_status -eq 0 ]] || fail "the session's checks (above)"
echo
echo "check-package-install: passed"
