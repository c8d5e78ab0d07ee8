#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and starts the installed program under xvfb-run on a
# root elsewhere, given on its command line, with a stub xdg-open first on PATH. The root's overdue
# folder fires (so its rows are the ones listed), the title bar names the root and the window has
# its icon.
set -euo pipefail
cmake=${1:?usage: installed_e2e.sh cmake build-dir prefix}
build=${2:?}
prefix=${3:?}
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -- -"$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; echo "--- program log"; cat "$work/program.log" || true; exit 1; }

DESTDIR="$work/dest" "$cmake" --install "$build" >/dev/null
program="$work/dest$prefix/bin/quillbrook"

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
overdue() { # folder
  mkdir -p "$1"
  utf16 "$1/Quillbrook.desc" "到期的合同"
  utf16 "$1/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
}
root="$work/文档 根"
overdue "$root/合同/到期"
overdue "$work/dest$prefix/bin/类/不该触发" # the program's own folder is not the root here
mkdir -p "$work/bin" "$work/home"
cat > "$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened.txt"
STUB
chmod +x "$work/bin/xdg-open"

export PATH="$work/bin:$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
setsid xvfb-run -a bash -c '
  "$1" "$2" & app=$!
  for _ in $(seq 1 150); do [ -s "$3/opened.txt" ] && break; sleep 0.1; done
  sleep 0.5
  for id in $(xwininfo -root -children | grep -o "^ *0x[0-9a-f]*"); do
    title=$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)
    # The icon property starts with the width of its first image.
    icon=$(xprop -id "$id" -len 4 -f _NET_WM_ICON 32c _NET_WM_ICON 2>/dev/null | sed -n "s/.*= \([0-9]*\).*/\1/p")
    printf "%s icon=%s\n" "$title" "${icon:-none}"
  done > "$3/titles.txt"
  kill $app; wait $app
' _ "$program" "$root" "$work" >"$work/program.log" 2>&1 &
pid=$!
wait "$pid" || true
pid=

[ -s "$work/opened.txt" ] || fail "nothing fired"
url=$(head -n 1 "$work/opened.txt")
decoded=$(printf '%b' "${url//%/\\x}")
[ "$decoded" = "file://$root/合同/到期" ] || fail "opened $url"
[ "$(wc -l < "$work/opened.txt")" = 1 ] || fail "more than the root's folder fired: $(cat "$work/opened.txt")"
title=$(grep -F " — $root\"" "$work/titles.txt") || fail "no window title names the root: $(cat "$work/titles.txt")"
grep -q ' icon=[1-9]' <<<"$title" || fail "the window has no icon: $title"

echo "1 passed, 0 failed"
