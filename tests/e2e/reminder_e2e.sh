#!/usr/bin/env bash
# Copies the program into a temporary root that holds an overdue folder, starts it under xvfb-run
# with a stub xdg-open first on PATH, and checks what it leaves on disk: the schedule advanced with
# one count less, auto.bat run in that folder, and the folder asked to open. Eleven more overdue
# folders make twelve in one pass: every auto.bat runs, only ten folders are opened.
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
lines() { if [ -f "$1" ]; then wc -l < "$1"; else echo 0; fi; }

utf16 "$folder/Quillbrook.desc" "到期的合同"
# Monthly on the 1st at 09:00, next trigger long past, three more triggers.
utf16 "$folder/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd > "%s/ran-in.txt"\n' "$work" > "$folder/auto.bat"
batch=()
for i in $(seq -w 1 11); do
  more="$root/批量/第 $i 个"
  batch+=("$more")
  mkdir -p "$more"
  utf16 "$more/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
  printf 'pwd >> "%s/batch.log"\n' "$work" > "$more/auto.bat"
done
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
  if [ "$(lines "$work/opened.txt")" = 10 ] && [ -s "$work/ran-in.txt" ] && [ "$(lines "$work/batch.log")" = 11 ] \
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

[ -f "$work/batch.log" ] || fail "no auto.bat of the other eleven ran"
diff <(printf '%s\n' "${batch[@]}" | sort) <(sort "$work/batch.log") || fail "not every auto.bat ran once in its folder"

[ -f "$work/opened.txt" ] || fail "nothing was opened"
[ "$(wc -l < "$work/opened.txt")" = 10 ] || fail "not ten folders opened: $(cat "$work/opened.txt")"
while read -r url; do
  decoded=$(printf '%b' "${url//%/\\x}")
  printf '%s\n' "$folder" "${batch[@]}" | grep -qxF "${decoded#file://}" || fail "opened $url"
done < "$work/opened.txt"
[ "$(sort -u "$work/opened.txt" | wc -l)" = 10 ] || fail "a folder was opened twice"

echo "1 passed, 0 failed"
