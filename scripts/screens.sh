#!/usr/bin/env bash
# Screenshots of the program under Xvfb with a window manager (openbox), with two reminders fired
# and the alert standing: at 1366x768, 1920x1080 and 3840x2160 at QT_SCALE_FACTOR=2; and at
# 1366x768 with a notification daemon (dunst) on a private session bus: the two notifications, the
# window brought back by a notification's default action, and the alert cleared by a click on its
# button, which closes them. Writes docs/screens/*.png.
# usage: scripts/screens.sh [path/to/quillbrook]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/default/app/quillbrook}
out="$here/docs/screens"
mkdir -p "$out"

"$here/scripts/install-deps.sh" xvfb openbox dunst xdotool x11-utils imagemagick dbus fonts-noto-cjk

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
# A fresh tree: two folders long overdue (one named like markup), one due later, two unscheduled.
lay_out_tree() {
  rm -rf "$work/root"
  local r="$work/root"
  mkdir -p "$r/合同/租赁合同" "$r/合同/<img src=x> & 采购" "$r/报销/差旅" "$r/个人证件" "$r/收件箱"
  utf16 "$r/合同/租赁合同/Quillbrook.desc" "办公室租赁，每月5日付租金\r\n到期前一个月续签"
  utf16 "$r/合同/租赁合同/Quillbrook.Timer" "1;10;30;5\r\n2020-1-5,10,30\r\n-1\r\n0"
  utf16 "$r/合同/<img src=x> & 采购/Quillbrook.desc" "<b>年度</b>采购合同"
  utf16 "$r/合同/<img src=x> & 采购/Quillbrook.Timer" "0;9;0;3-1\r\n2020-3-1,9,0\r\n-1\r\n1"
  utf16 "$r/报销/差旅/Quillbrook.desc" "差旅票据，每两周整理一次"
  utf16 "$r/报销/差旅/Quillbrook.Timer" "2;17;0;2024-9-16,14\r\n2099-1-5,17,0\r\n-1\r\n0"
  utf16 "$r/个人证件/Quillbrook.desc" "护照、驾照与社保卡的扫描件"
  cp "$program" "$r/quillbrook"
  # Nothing is really opened: a stand-in for the file manager.
  mkdir -p "$work/bin"
  printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"
}

# start_display WxH: an X server with openbox; sets DISPLAY.
start_display() {
  exec 3< <(Xvfb -displayfd 1 -screen 0 "${1}x24" -nolisten tcp 2>/dev/null)
  pids+=($!)
  read -r number <&3
  export DISPLAY=":$number"
  openbox >/dev/null 2>&1 & pids+=($!)
  sleep 1
}

stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  pids=()
}

start_program() {
  env PATH="$work/bin:$PATH" "$@" "$work/root/quillbrook" >"$work/program.log" 2>&1 & pids+=($!)
  sleep 4
}

shot() { import -window root "$out/$1"; echo "$out/$1"; }

# The window alone, at three screen sizes.
for size in 1366x768 1920x1080; do
  lay_out_tree
  start_display "$size"
  unset DBUS_SESSION_BUS_ADDRESS
  start_program
  shot "alert-$size.png"
  stop_all
done
lay_out_tree
start_display 3840x2160
start_program QT_SCALE_FACTOR=2
shot "alert-3840x2160-scale2.png"
stop_all

# With a notification daemon on a bus of our own, its notifications at the bottom right so that
# the alert button stays free to click.
lay_out_tree
start_display 1366x768
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
pids+=("$(sed -n 2p <<<"$bus")")
sed 's/^\(\s*origin\s*=\).*/\1 bottom-right/' /etc/xdg/dunst/dunstrc > "$work/dunstrc"
dunst -config "$work/dunstrc" >/dev/null 2>&1 & pids+=($!)
sleep 1
start_program
shot "notifications-1366x768.png"
window=$(xdotool search --name 'Quillbrook2' | head -n 1)
xdotool windowminimize "$window"
sleep 1.5
shot "notifications-window-minimised.png"
dunstctl action 0   # the default action of the newest notification
sleep 1.5
shot "notifications-action-restored.png"
# The alert button, in window coordinates: right-aligned 14 pixels from the edge, below the menu bar.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH - 14 - 60)) 54 click 1
sleep 1.5
shot "notifications-alert-cleared.png"
echo "notifications still shown: $(dunstctl count displayed)"
stop_all
