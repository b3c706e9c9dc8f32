#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: lintian,
# the desktop entry, the metainfo and the manual page; then installs it and,
# as an ordinary user with a fresh home, launches a batch whose state lives
# in ~/.local/share/korvane, opens the editor (Xvfb) and adds a batch there,
# opens the editor from the menu entry with "gio launch"; finally removes the
# package and finds the user's data still there. Run as root (CI is).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
[ "$(id -u)" -eq 0 ] || { echo "test-package.sh installs a package: run it as root"; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends xdotool openbox \
  xvfb xauth libglib2.0-bin x11-utils xterm python3-xdg >/dev/null
deb=$(scripts/package.sh | tail -1)
echo "== checking $deb"
lintian --fail-on error "$deb"
root=$(mktemp -d)
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
warnings=$(man --warnings -l "$root/usr/share/man/man1/korvane.1.gz" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || { echo "man page warnings: $warnings"; exit 1; }
rm -rf "$root"

echo "== installing"
DEBIAN_FRONTEND=noninteractive apt-get install -y "$PWD/$(basename "$(dirname "$deb")")/$(basename "$deb")" \
  >/dev/null 2>&1 || DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >/dev/null
user=korvane-test
id "$user" >/dev/null 2>&1 || useradd -m -s /bin/sh "$user"
home=$(mktemp -d /tmp/korvane-home.XXXXXX)
chown "$user:" "$home"
stamp=$(mktemp); sleep 1
as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
data=$home/.local/share/korvane

# The first run makes the data folder, private to the user.
rc=0; as_user korvane "No such batch" 2>/dev/null || rc=$?
check "an unknown batch says so and exits 2" "[ $rc = 2 ]"
check "the first run made the state folder, private (0700)" "[ \"\$(stat -c %a '$data')\" = 700 ]"

# A direct launch: the catalogue and Shortcuts/ in the data folder.
as_user sh -c "mkdir -p '$data/Shortcuts/5/1' &&
  printf '#!/bin/sh\necho \"\$1\" >> %s/marker\n' '$home' > '$home/mark.sh' && chmod +x '$home/mark.sh' &&
  printf '[Shell Link]\nTarget=%s\nArguments=launched\n' '$home/mark.sh' > '$data/Shortcuts/5/1/mark.lnk' &&
  printf '[Some batch]\r\nID=5\r\nItem0=File;1\\\\;Active\r\n' > '$data/batches.lst'"
as_user korvane "Some batch"
check "korvane \"Some batch\" launched from ~/.local/share/korvane" \
  "sleep 1; grep -q launched '$home/marker'"

# The editor, under Xvfb with a window manager: Insert adds a batch, written
# to the data folder at once.
cat > "$home/editor.sh" <<'SH'
#!/bin/sh
openbox >/dev/null 2>&1 &
sleep 1
korvane >/dev/null 2>&1 &
xdotool search --sync --name '^Korvane$' windowactivate --sync >/dev/null 2>&1
sleep 1
xdotool key Insert
sleep 1
xdotool key Escape
sleep 1
# File, Options: the logon autostart switched on and saved.
xdotool key alt+f
sleep 1
xdotool key Return
sleep 1
xdotool key space
sleep 1
xdotool key Return
sleep 1
SH
chmod +x "$home/editor.sh"
as_user xvfb-run -a "$home/editor.sh" || true
check "the editor added a batch in ~/.local/share/korvane" "grep -q 'New batch' '$data/batches.lst'"
check "the autostart entry runs the installed program" \
  "grep -q '^Exec=\"/usr/bin/korvane\" -startup' '$home/.config/autostart/Korvane.desktop'"

# The menu entry, launched as a desktop launches it, opens the editor.
cat > "$home/entry.sh" <<'SH'
#!/bin/sh
gio launch /usr/share/applications/*korvane*.desktop >/dev/null 2>&1
xdotool search --sync --name '^Korvane$' >/dev/null 2>&1 && echo opened > "$HOME/entry-result"
SH
chmod +x "$home/entry.sh"
as_user timeout 60 xvfb-run -a "$home/entry.sh" || true
check "gio launch of the menu entry opened the editor" "[ -e '$home/entry-result' ]"
pkill -u "$user" korvane 2>/dev/null || true

# A user's day: the application picker lists an application installed for
# the user (by its Name=) and a real one (XTerm); both are added with the
# keyboard and launched; Help opens the HTML help through the desktop's
# handler of web pages (a test "browser" records the address); Make shortcut
# puts a valid launcher on the desktop.
as_user sh -c "mkdir -p '$home/.local/share/applications' '$home/.config' &&
  printf '#!/bin/sh\npwd > %s/marker-pwd\n' '$home' > '$home/where.sh' && chmod +x '$home/where.sh' &&
  printf '#!/bin/sh\necho \"\$1\" > %s/browser-got\n' '$home' > '$home/browser.sh' &&
  chmod +x '$home/browser.sh' &&
  printf '[Desktop Entry]\nType=Application\nName=Marker Tool\nComment=Says where it runs\nExec=%s\n' \
    '$home/where.sh' > '$home/.local/share/applications/org.example.MarkerTool.desktop' &&
  printf '[Desktop Entry]\nType=Application\nName=Test browser\nExec=%s %%u\nMimeType=text/html;\nNoDisplay=true\n' \
    '$home/browser.sh' > '$home/.local/share/applications/test-browser.desktop' &&
  printf '[Default Applications]\ntext/html=test-browser.desktop\n' > '$home/.config/mimeapps.list'"
cat > "$home/day.sh" <<'SH'
#!/bin/sh
openbox >/dev/null 2>&1 &
sleep 1
korvane >/dev/null 2>&1 &
xdotool search --sync --name '^Korvane$' windowactivate --sync >/dev/null 2>&1
sleep 1
w=$(xdotool getactivewindow)
xprop -id "$w" WM_CLASS _NET_WM_ICON | head -c 300 > "$HOME/xprop.txt"
xdotool key Home
for app in "Marker Tool" xterm; do
  xdotool key alt+a; sleep 0.5; xdotool key a; sleep 1.5
  xdotool type --delay 50 "$app"; sleep 0.5
  xdotool key Return; sleep 1
done
xdotool key ctrl+Return
sleep 3
# XTerm runs only as long as this X server: asked now where it started.
readlink "/proc/$(pgrep -n -u "$(id -u)" -x xterm)/cwd" > "$HOME/xterm-cwd" 2>/dev/null
xdotool windowactivate --sync "$w"; sleep 0.5
xdotool key F1
sleep 2
xdotool key alt+b; sleep 0.5; xdotool key s; sleep 1
SH
chmod +x "$home/day.sh"
as_user xvfb-run -a "$home/day.sh" || true
check "the window carries the program's class" "grep -q 'WM_CLASS(STRING) = \"korvane\", \"Korvane\"' '$home/xprop.txt'"
check "the window carries the program's icon" "grep -q '_NET_WM_ICON(CARDINAL) = ' '$home/xprop.txt'"
check "the picker's entry, found by its name, started in the home folder" \
  "[ \"\$(cat '$home/marker-pwd' 2>/dev/null)\" = '$home' ]"
check "XTerm from the picker started, in the home folder" \
  "[ \"\$(cat '$home/xterm-cwd' 2>/dev/null)\" = '$home' ]"
check "Help opened the HTML help with the desktop's browser" \
  "grep -q '/usr/share/doc/korvane/html/index.html' '$home/browser-got'"
shortcut=$(ls "$home"/Desktop/*.desktop 2>/dev/null | head -1 || true)
check "Make shortcut put a launcher on the desktop" "[ -n '$shortcut' ]"
valid() { out=$(desktop-file-validate "$1" 2>&1) && [ -z "$out" ] || { echo "$out"; return 1; }; }
[ -z "$shortcut" ] || check "the desktop shortcut passes desktop-file-validate, no warnings" \
  "valid '$shortcut'"
check "the autostart entry passes desktop-file-validate, no warnings" \
  "valid '$home/.config/autostart/Korvane.desktop'"
# Logon: the session's XDG autostart (as openbox runs it) starts the menu.
cat > "$home/logon.sh" <<'SH'
#!/bin/sh
openbox >/dev/null 2>&1 &
sleep 1
/usr/lib/x86_64-linux-gnu/openbox-xdg-autostart OPENBOX >/dev/null 2>&1
sleep 3
pgrep -f 'korvane.* -startup' >/dev/null && echo started > "$HOME/logon-result"
SH
chmod +x "$home/logon.sh"
as_user timeout 60 xvfb-run -a "$home/logon.sh" || true
check "the XDG autostart of the session started the startup menu" "[ -e '$home/logon-result' ]"
pkill -u "$user" korvane 2>/dev/null || true

check "nothing was written under /usr" "[ -z \"\$(find /usr -newer '$stamp' -user $user 2>/dev/null)\" ]"

echo "== removing"
DEBIAN_FRONTEND=noninteractive apt-get remove -y korvane >/dev/null
check "the user's data folder survives removing the package" "[ -f '$data/batches.lst' ]"
rm -rf "$home" "$stamp"
exit $fail
