#!/usr/bin/env bash
# Copies the program into a temporary root that holds an overdue folder, starts it under xvfb-run
# with a stub xdg-open first on PATH, and checks what it leaves on disk: the schedule advanced with
# one count less, auto.bat run in that folder, and the folder asked to open.
set -euo pipefail
program=${1:?usage: reminder_e2e.sh path/to/quillbrook}
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -- -"$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

root="$work/根 目录"
folder="$root/合同/到期 文件夹"
mkdir -p "$folder" "$work/bin"
cp "$program" "$root/quillbrook"

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
read_utf16() { tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8; }

utf16 "$folder/Quillbrook.desc" "到期的合同"
# Monthly on the 1st at 09:00, next trigger long past, three more triggers.
utf16 "$folder/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd > "%s/ran-in.txt"\n' "$work" > "$folder/auto.bat"
cat > "$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened.txt"
STUB
chmod +x "$work/bin/xdg-open"

export PATH="$work/bin:$PATH"
unset DISPLAY WAYLAND_DISPLAY
setsid xvfb-run -a "$root/quillbrook" >"$work/program.log" 2>&1 &
pid=$!

for _ in $(seq 1 150); do
  if [ -s "$work/opened.txt" ] && [ -s "$work/ran-in.txt" ] \
     && read_utf16 "$folder/Quillbrook.Timer" | grep -q $'^2\r$'; then
    break
  fi
  sleep 0.1
done

fail() { echo "FAILED: $*"; echo "--- program log"; cat "$work/program.log" || true; exit 1; }

schedule=$(read_utf16 "$folder/Quillbrook.Timer" | tr -d '\r')
[ "$(sed -n 1p <<<"$schedule")" = "1;9;0;1" ] || fail "line 1 changed: $schedule"
[ "$(sed -n 3p <<<"$schedule")" = "2" ] || fail "count not counted down: $schedule"
next=$(sed -n 2p <<<"$schedule")
IFS='-,' read -r year month day hour minute <<<"$next"
[ "$day" = 1 ] && [ "$hour" = 9 ] && [ "$minute" = 0 ] || fail "next trigger not the 1st at 09:00: $next"
[ "$(date -d "$year-$month-$day $hour:$minute" +%s)" -gt "$(date +%s)" ] || fail "next trigger not later than now: $next"

[ -f "$work/ran-in.txt" ] || fail "auto.bat did not run"
[ "$(cat "$work/ran-in.txt")" = "$folder" ] || fail "auto.bat ran in $(cat "$work/ran-in.txt")"

[ -f "$work/opened.txt" ] || fail "nothing was opened"
url=$(head -n 1 "$work/opened.txt")
decoded=$(printf '%b' "${url//%/\\x}")
[ "$decoded" = "file://$folder" ] || fail "opened $url"

echo "1 passed, 0 failed"
