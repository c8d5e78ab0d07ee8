#!/usr/bin/env bash
# Two machines on one share: one Samba share mounted twice through smbnetfs (each mount its own
# client, as two machines are), and the program started on the same tree through each. Every
# round lays out FOLDERS overdue folders (schedules due once now, three triggers left, each with an
# auto.bat that notes where it ran), starts both programs DELAY seconds apart and counts, once both
# are done, how often each reminder fired across both, how many times its file was rewritten, and
# whether every file is whole and no temporary is left.
# Usage: two-mounts.sh path/to/quillbrook   (QB_TWO_MOUNT_ROUNDS, QB_TWO_MOUNT_FOLDERS,
#        QB_TWO_MOUNT_DELAYS: the start delays to try, in seconds, "0 2" by default)
set -euo pipefail
program=${1:?usage: two-mounts.sh path/to/quillbrook}
rounds=${QB_TWO_MOUNT_ROUNDS:-6}
folders=${QB_TWO_MOUNT_FOLDERS:-8} # at most 10: more fire with a message the test cannot answer
delays=${QB_TWO_MOUNT_DELAYS:-0 2}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/samba-share.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/qb-two.XXXXXX")
pids=()
stop_programs() {
  local p
  for p in "${pids[@]}"; do
    kill -- -"$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  pids=()
}
cleanup() {
  stop_programs
  samba_share_down
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if ! samba_share_up "$work/samba" 2; then
  echo "two mounts: skipped, $SAMBA_WHY"
  exit 0
fi
backing=$SAMBA_BACKING
mkdir -p "$work/bin"
cat > "$work/bin/xdg-open" <<'STUB'
#!/bin/sh
exit 0
STUB
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
unset DISPLAY WAYLAND_DISPLAY

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
read_utf16() { tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\r'; }

echo "two mounts of one Samba share, the program started on the same tree through each"
printf '%-8s %7s %9s %6s %6s %6s %9s %6s %11s\n' "delay s" "rounds" "reminders" "once" "twice" "never" \
  "rewrites" "whole" "temporaries"
for delay in $delays; do
  total=0 once=0 twice=0 never=0 rewrites=0 whole=0 temps=0
  for round in $(seq "$rounds"); do
    rm -rf "${backing:?}/"* "$work/ran.txt"
    : > "$work/ran.txt"
    for i in $(seq "$folders"); do
      f="$backing/类$((i % 2))/文件夹 $i"
      mkdir -p "$f"
      utf16 "$f/Quillbrook.desc" "共享的第 $i 个"
      utf16 "$f/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
      printf 'echo "%s $(pwd)" >> "%s/ran.txt"\n' "$i" "$work" > "$f/auto.bat"
    done
    cp "$program" "${SAMBA_ROOTS[0]}/quillbrook" # through the share: it gives the mode it runs with
    n=0
    for root in "${SAMBA_ROOTS[@]}"; do
      [ $n -eq 0 ] || sleep "$delay"
      setsid xvfb-run -a -n $((200 + RANDOM % 400 + 1000 * n)) "$root/quillbrook" >"$work/program$n.log" 2>&1 &
      pids+=($!)
      n=$((n + 1))
    done
    # Done when every schedule has moved on and nothing has changed for two seconds.
    last="" same=0
    for _ in $(seq 300); do
      now=$(cat "$work/ran.txt"; for i in $(seq "$folders"); do read_utf16 "$backing/类$((i % 2))/文件夹 $i/Quillbrook.Timer" 2>/dev/null | sed -n 3p; done)
      if [ "$now" = "$last" ] && ! grep -qx 3 <<<"$(tail -n "$folders" <<<"$now")"; then
        same=$((same + 1))
        [ $same -ge 20 ] && break
      else
        same=0
      fi
      last=$now
      sleep 0.1
    done
    stop_programs; [ -z "${QB_TWO_MOUNT_DEBUG:-}" ] || { cat "$work"/program*.log; cat "$work/ran.txt"; }
    for i in $(seq "$folders"); do
      f="$backing/类$((i % 2))/文件夹 $i/Quillbrook.Timer"
      fired=$(grep -c "^$i " "$work/ran.txt" || true)
      total=$((total + 1))
      case $fired in 0) never=$((never + 1)) ;; 1) once=$((once + 1)) ;; *) twice=$((twice + 1)) ;; esac
      lines=$(read_utf16 "$f" 2>/dev/null || true)
      count=$(sed -n 3p <<<"$lines")
      if [ "$(sed -n 1p <<<"$lines")" = "1;9;0;1" ] && [ "$(wc -l <<<"$lines")" -ge 3 ] && [[ $count =~ ^[0-9]+$ ]]; then
        whole=$((whole + 1))
        rewrites=$((rewrites + 3 - count))
      fi
    done
    temps=$((temps + $(find "$backing" -name '*.qbtmp-*' | wc -l)))
  done
  printf '%-8s %7d %9d %6d %6d %6d %9d %6d %11d\n' "$delay" "$rounds" "$total" "$once" "$twice" "$never" \
    "$rewrites" "$whole" "$temps"
done
