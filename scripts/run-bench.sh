#!/usr/bin/env bash
# Runs the benchmarks of a build folder: timings beside their floors, growth, peak memory, and the
# window's figures on a local tree and on a slow share. The share is a FUSE mount (qb_slowfs) of a
# private folder that delays every request by 1 ms; it is mounted here and taken down on exit.
# The window's figures are then taken again on a Samba share (smbd on loopback, mounted through
# smbnetfs; scripts/samba-share.sh), and two mounts of it stand for two machines running the program
# on one tree (scripts/two-mounts.sh).
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=scan --memory_runs=0).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/samba-share.sh"
build=${1:-build/bench}
shift || true
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg)"

slowfs="$build/bench/qb_slowfs"
delay_us=${QB_SHARE_DELAY_US:-1000}
share_args=()
work=""
pid=""
mounted() { grep -qs " $1 fuse" /proc/mounts; }
cleanup() {
  samba_share_down
  if [ -n "$work" ]; then
    if mounted "$work/mnt"; then
      fusermount3 -u "$work/mnt" 2>/dev/null || umount -l "$work/mnt" 2>/dev/null || true
    fi
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
    # Never remove through a mount that is still there.
    mounted "$work/mnt" || rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

why=""
if [ ! -x "$slowfs" ]; then
  why="qb_slowfs was not built (the FUSE library, libfuse3-dev, is missing)"
elif [ ! -c /dev/fuse ]; then
  why="/dev/fuse is missing"
elif ! command -v fusermount3 >/dev/null; then
  why="fusermount3 is missing (package fuse3)"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/qb-share.XXXXXX")
  mkdir "$work/backing" "$work/mnt"
  "$slowfs" "$work/backing" "$work/mnt" --delay-us="$delay_us" -f \
    -o max_threads=64,auto_unmount,fsname=qb_slowfs 2>"$work/slowfs.log" &
  pid=$!
  for _ in $(seq 50); do
    mounted "$work/mnt" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if mounted "$work/mnt"; then
    echo "share:   FUSE mount $work/mnt, ${delay_us} µs per request"
    share_args=(--share_backing="$work/backing" --share_root="$work/mnt")
  else
    why="the FUSE mount failed: $(head -c 300 "$work/slowfs.log" | tr '\n' ' ')"
  fi
fi
[ -z "$why" ] || echo "slow share: skipped, $why"

status=0
"$build/bench/qb_bench" --program="$build/quillbrook" "${share_args[@]}" "$@" || status=$?

echo
if samba_share_up "$(mktemp -d "${TMPDIR:-/tmp}/qb-samba.XXXXXX")"; then
  echo "samba:   smbd on ${SAMBA_ROOTS[0]#*/mnt1/}, mounted through smbnetfs at ${SAMBA_ROOTS[0]}"
  # The 1,000-row tree only: smbnetfs sends one request at a time per share, and the 10,000-row
  # figures would take a quarter of an hour.
  "$build/bench/qb_bench" --program="$build/quillbrook" --share_only --share_name=samba --small \
    --share_backing="$SAMBA_BACKING" --share_root="${SAMBA_ROOTS[0]}" "$@" || status=$?
else
  echo "samba share: skipped, $SAMBA_WHY"
fi
samba_share_down

echo
"$here/two-mounts.sh" "$build/quillbrook" || status=$?
exit $status
