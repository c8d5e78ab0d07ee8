#!/usr/bin/env bash
# A team's tree on a Windows-style file server: Samba on loopback (names matched whatever their
# case, no open file replaced or removed), mounted through smbnetfs. The program is copied into the
# share's root and started under xvfb-run with a stub xdg-open first on PATH. Two overdue folders,
# one spelt as the program spells its files and one as a Windows tree does (QUILLBROOK.TIMER,
# AUTO.BAT), must both fire: schedules advanced, scripts run in their folders, folders opened, no
# temporary file left. Then the settings dialog and a stop on the share (app_tests, OnAShare.*).
# Exits 77 (skipped) when FUSE, smbd or smbnetfs cannot be had.
set -euo pipefail
program=${1:?usage: samba_e2e.sh path/to/quillbrook path/to/app_tests}
app_tests=${2:?}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/samba-share.sh"

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -- -"$pid" 2>/dev/null || true
  [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  samba_share_down
  rm -rf "$work"
}
trap cleanup EXIT
if ! samba_share_up "$work/samba"; then
  echo "SKIPPED: no Samba share: $SAMBA_WHY"
  exit 77
fi
root=${SAMBA_ROOTS[0]}
backing=$SAMBA_BACKING

utf16() { { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"; }
read_utf16() { tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8; }
fail() { echo "FAILED: $*"; echo "--- program log"; cat "$work/program.log" 2>/dev/null || true; exit 1; }

# Laid out on the server's disk, as the team's Windows users left it.
ours="合同/到期 文件夹"
theirs="WINDOWS 组/OLD TREE"
mkdir -p "$backing/$ours" "$backing/$theirs" "$work/bin"
utf16 "$backing/$ours/Quillbrook.desc" "到期的合同"
utf16 "$backing/$ours/Quillbrook.Timer" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd >> "%s/ran-in.txt"\n' "$work" > "$backing/$ours/auto.bat"
utf16 "$backing/$theirs/QUILLBROOK.DESC" "Windows 用户的目录"
utf16 "$backing/$theirs/QUILLBROOK.TIMER" "1;9;0;1\r\n2020-1-1,9,0\r\n3\r\n0"
printf 'pwd >> "%s/ran-in.txt"\n' "$work" > "$backing/$theirs/AUTO.BAT"
cp "$program" "$root/quillbrook"
cat > "$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened.txt"
STUB
chmod +x "$work/bin/xdg-open"

counted() { read_utf16 "$1" 2>/dev/null | grep -q $'^2\r$'; }
export PATH="$work/bin:$PATH"
unset DISPLAY WAYLAND_DISPLAY
setsid xvfb-run -a "$root/quillbrook" >"$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  if [ "$(wc -l < "$work/opened.txt" 2>/dev/null || echo 0)" -ge 2 ] && [ "$(wc -l < "$work/ran-in.txt" 2>/dev/null || echo 0)" -ge 2 ] \
     && counted "$backing/$ours/Quillbrook.Timer" && counted "$backing/$theirs/QUILLBROOK.TIMER"; then
    break
  fi
  sleep 0.1
done
sleep 0.5 # any second firing or message would come now
kill -- -"$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=

for f in "$ours/Quillbrook.Timer" "$theirs/QUILLBROOK.TIMER"; do
  [ -f "$backing/$f" ] || fail "$f is gone"
  schedule=$(read_utf16 "$backing/$f" | tr -d '\r')
  [ "$(sed -n 1p <<<"$schedule")" = "1;9;0;1" ] || fail "$f: line 1 changed: $schedule"
  [ "$(sed -n 3p <<<"$schedule")" = "2" ] || fail "$f: not counted down: $schedule"
  next=$(sed -n 2p <<<"$schedule")
  IFS='-,' read -r year month day hour minute <<<"$next"
  [ "$(date -d "$year-$month-$day $hour:$minute" +%s)" -gt "$(date +%s)" ] || fail "$f: next trigger not later than now: $next"
done
[ -f "$work/ran-in.txt" ] || fail "no auto.bat ran"
sort "$work/ran-in.txt" > "$work/ran-sorted.txt"
printf '%s\n' "$root/$ours" "$root/$theirs" | sort > "$work/expected-ran.txt"
diff "$work/expected-ran.txt" "$work/ran-sorted.txt" >/dev/null || fail "scripts ran in: $(cat "$work/ran-in.txt")"
[ "$(wc -l < "$work/opened.txt")" -eq 2 ] || fail "opened: $(cat "$work/opened.txt")"
# No temporary file, no second file under the program's spelling beside the Windows one.
left=$(cd "$backing" && find . -name '*.qbtmp-*' | head -5)
[ -z "$left" ] || fail "temporaries left: $left"
[ "$(ls -A "$backing/$theirs" | sort | tr '\n' ' ')" = "AUTO.BAT QUILLBROOK.DESC QUILLBROOK.TIMER " ] \
  || fail "the Windows folder holds: $(ls -A "$backing/$theirs")"
echo "firing on the share: 2 folders fired once each, no temporary left"

# The settings dialog and a stop, in the real window on the share.
mkdir -p "$root/对话框"
QB_SHARE_ROOT="$root/对话框" "$app_tests" --gtest_filter='OnAShare.*' --gtest_brief=1 || fail "the dialog on the share"
echo "2 passed, 0 failed"
