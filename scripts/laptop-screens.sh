#!/usr/bin/env bash
# Screenshots of the program as a laptop shows it: 1366x768 under Xvfb with openbox, a panel with a
# tray (tint2) and a notification daemon (xfce4-notifyd) on a session bus of our own. A tree of 60
# folders with Chinese names, three of them long overdue, one far down the list. Shows the four
# columns in view, the last fired row brought into view and the fired rows in bold, the
# notifications with their two actions, the tray icon and its menu, and a search match brought
# into view. Writes docs/screens/laptop-*.png.
# usage: scripts/laptop-screens.sh [path/to/quillbrook]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/default/quillbrook}
out="$here/docs/screens"
mkdir -p "$out"

"$here/scripts/install-deps.sh" xvfb openbox tint2 xfce4-notifyd xdotool x11-utils imagemagick dbus fonts-noto-cjk

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
r="$work/root"
categories=(合同 报销 人事 项目 证照 财务)
for c in "${categories[@]}"; do
  for i in 1 2 3 4 5 6 7 8 9 10; do
    mkdir -p "$r/$c/${c}资料$i"
    utf16 "$r/$c/${c}资料$i/Quillbrook.desc" "${c}第${i}份：说明文字较长，写明来源、经办人和存放要求"
    utf16 "$r/$c/${c}资料$i/Quillbrook.Timer" "1;9;0;15\r\n2099-1-15,9,0\r\n-1\r\n0"
  done
done
overdue() { utf16 "$r/$1/Quillbrook.Timer" "1;10;30;5\r\n2020-1-5,10,30\r\n-1\r\n0"; }
overdue "合同/合同资料2"
overdue "人事/人事资料4"
overdue "财务/财务资料9"
utf16 "$r/财务/财务资料9/Quillbrook.desc" "年度审计资料，提前一个月准备"
utf16 "$r/证照/证照资料3/Quillbrook.desc" "房屋租赁合同续签，提前一个月联系房东"
cp "$program" "$r/quillbrook"
mkdir -p "$work/bin" "$work/home"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open" # nothing is really opened
chmod +x "$work/bin/xdg-open"
# A panel at the bottom with a tray at its right end.
cat > "$work/tint2rc" <<'EOF'
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 30
panel_background_id = 0
systray_padding = 4 2 6
systray_icon_size = 24
taskbar_mode = single_desktop
EOF

exec 3< <(Xvfb -displayfd 1 -screen 0 1366x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r number <&3
export DISPLAY=":$number"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
pids+=("$(sed -n 2p <<<"$bus")")
openbox >/dev/null 2>&1 & pids+=($!)
tint2 -c "$work/tint2rc" >/dev/null 2>&1 & pids+=($!)
/usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd >/dev/null 2>&1 & pids+=($!)
sleep 2
env PATH="$work/bin:$PATH" "$r/quillbrook" >"$work/program.log" 2>&1 & pids+=($!)
sleep 6

shot() { import -window root "$out/$1"; echo "$out/$1"; }
shot laptop-fired-in-view-1366x768.png

# The tray icon's menu: a right click on the icon at the panel's right end.
tray_x=${TRAY_X:-1352}
tray_y=${TRAY_Y:-753}
xdotool mousemove "$tray_x" "$tray_y" click 3
sleep 1.5
shot laptop-tray-menu-1366x768.png
xdotool key Escape
sleep 0.5

# A search for a description far down the list, the list scrolled to its top first.
window=$(xdotool search --name 'Quillbrook2' | head -n 1)
xdotool windowactivate --sync "$window"
xdotool key --window "$window" ctrl+f
xdotool type --delay 200 '续签|房东'
sleep 0.3
xdotool key --window "$window" Return
sleep 1.5
shot laptop-search-in-view-1366x768.png

# "清除触发警示" on the topmost notification: the alert ends and every notification closes.
xdotool mousemove "${CLEAR_X:-1288}" "${CLEAR_Y:-131}" click 1
sleep 1.5
shot laptop-cleared-from-notification-1366x768.png
cat "$work/program.log"
