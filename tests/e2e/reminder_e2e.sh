#!/usr/bin/env bash
# Copies the program into a temporary root that holds an overdue folder, starts it under xvfb-run
# with a stub xdg-open first on PATH, and checks what it leaves on disk: the schedule advanced with
# one count less, auto.bat run in that folder, and the folder asked to open. A second folder is
# spelt as a tree copied from Windows spells it (QUILLBROOK.TIMER, AUTO.BAT) and must fire too.
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
upper="$root/合同/WINDOWS"
mkdir -p "$folder" "$upper" "$work/bin"
cp "$program" "$root/quillbrook"

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
read_utf16() { tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8; }

utf16 "$folder/Quillbrook.desc" "到期的合同"
# Monthly on the 1st at 09:00, next trigger long past, three more triggers.
utf16 "$folder/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd > "%s/ran-in.txt"\n' "$work" > "$folder/auto.bat"
utf16 "$upper/quillbrook.desc" "从共享拷来"
utf16 "$upper/QUILLBROOK.TIMER" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd > "%s/upper-ran-in.txt"\n' "$work" > "$upper/AUTO.BAT"
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
  if [ -s "$work/opened.txt" ] && [ -s "$work/ran-in.txt" ] && [ -s "$work/upper-ran-in.txt" ] \
     && read_utf16 "$folder/Quillbrook.Timer" | grep -q $'^2\r$' \
     && read_utf16 "$upper/QUILLBROOK.TIMER" | grep -q $'^2\r$'; then
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
grep -c . "$work/opened.txt" | grep -qx 2 || fail "opened $(cat "$work/opened.txt")"
decoded=$(printf '%b' "$(sed 's/%/\\x/g' "$work/opened.txt")")
grep -qxF "file://$folder" <<<"$decoded" || fail "did not open $folder: $decoded"
grep -qxF "file://$upper" <<<"$decoded" || fail "did not open $upper: $decoded"

[ "$(read_utf16 "$upper/QUILLBROOK.TIMER" | tr -d '\r' | sed -n 3p)" = 2 ] || fail "QUILLBROOK.TIMER not advanced"
[ "$(cat "$work/upper-ran-in.txt")" = "$upper" ] || fail "AUTO.BAT did not run in its folder"
[ ! -e "$upper/Quillbrook.Timer" ] || fail "a second schedule file was written beside QUILLBROOK.TIMER"

echo "1 passed, 0 failed"
