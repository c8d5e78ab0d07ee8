# A Samba share on loopback, mounted through smbnetfs, for the tests and the benchmarks. Source it,
# then:
#   samba_share_up WORK [MOUNTS]   starts smbd with its own configuration under WORK and mounts the
#                                  share MOUNTS times (default 1), each smbnetfs with its own home:
#                                  two mounts stand for two machines. Sets SAMBA_BACKING (the
#                                  share's folder on disk) and SAMBA_ROOTS (the share through each
#                                  mount); or, when it cannot be had, SAMBA_WHY and returns 1.
#   samba_share_down               unmounts, stops what samba_share_up started and removes WORK.
# The share follows Windows rules: names are matched without regard to case, and an open file is
# neither replaced nor removed. smbd listens on a random 127.x.y.z address, so runs side by side
# do not meet.

SAMBA_WORK=""
SAMBA_SMBD_PID=""
SAMBA_NETFS_PIDS=()
SAMBA_MOUNTS=()
SAMBA_ROOTS=()
SAMBA_BACKING=""
SAMBA_WHY=""

_samba_mounted() { grep -qs " $1 fuse" /proc/mounts; }

samba_share_up() {
  local work=$1 mounts=${2:-1}
  SAMBA_WHY=""
  SAMBA_WORK=$work
  if [ ! -c /dev/fuse ]; then SAMBA_WHY="/dev/fuse is missing"; return 1; fi
  if ! command -v smbd >/dev/null && [ ! -x /usr/sbin/smbd ]; then SAMBA_WHY="smbd is missing (package samba)"; return 1; fi
  if ! command -v smbnetfs >/dev/null; then SAMBA_WHY="smbnetfs is missing (package smbnetfs)"; return 1; fi
  if ! command -v fusermount3 >/dev/null && ! command -v fusermount >/dev/null; then
    SAMBA_WHY="fusermount is missing (package fuse3)"; return 1
  fi
  if [ "$(id -u)" -ne 0 ]; then SAMBA_WHY="smbd needs root to listen on port 445"; return 1; fi
  local smbd
  smbd=$(command -v smbd || echo /usr/sbin/smbd)
  mkdir -p "$work/samba/"{pid,lock,state,cache,private,log,ncalrpc} "$work/share"
  SAMBA_BACKING="$work/share"

  local ip attempt
  for attempt in 1 2 3; do
    ip="127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))"
    cat > "$work/samba/smb.conf" <<EOF
[global]
  server role = standalone server
  interfaces = $ip/8
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  pid directory = $work/samba/pid
  lock directory = $work/samba/lock
  state directory = $work/samba/state
  cache directory = $work/samba/cache
  private dir = $work/samba/private
  ncalrpc dir = $work/samba/ncalrpc
  log file = $work/samba/log/%m.log
  max log size = 1000
  map to guest = Bad User
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
[share]
  path = $work/share
  guest ok = yes
  guest only = yes
  read only = no
  force user = root
  case sensitive = no
EOF
    setsid "$smbd" -s "$work/samba/smb.conf" -D 2>"$work/samba/start.log" || true
    local _
    for _ in $(seq 50); do
      [ -s "$work/samba/pid/smbd.pid" ] && break
      sleep 0.1
    done
    SAMBA_SMBD_PID=$(cat "$work/samba/pid/smbd.pid" 2>/dev/null || true)
    [ -n "$SAMBA_SMBD_PID" ] && kill -0 "$SAMBA_SMBD_PID" 2>/dev/null && break
    SAMBA_SMBD_PID=""
  done
  if [ -z "$SAMBA_SMBD_PID" ]; then
    SAMBA_WHY="smbd did not start: $(tail -c 300 "$work/samba/start.log" "$work/samba/log/smbd.log" 2>/dev/null | tr '\n' ' ')"
    return 1
  fi

  local i
  for i in $(seq "$mounts"); do
    local home="$work/netfs$i" mnt="$work/mnt$i"
    mkdir -p "$home/.smb" "$mnt"
    printf 'auth "%s" "guest" ""\n' "$ip" > "$home/.smb/smbnetfs.conf"
    chmod 600 "$home/.smb/smbnetfs.conf"
    : > "$home/.smb/smb.conf"
    HOME=$home smbnetfs "$mnt" -f -o smb_query_browsers=false >"$home/smbnetfs.log" 2>&1 &
    SAMBA_NETFS_PIDS+=($!)
    SAMBA_MOUNTS+=("$mnt")
    local ok=""
    for _ in $(seq 100); do
      if _samba_mounted "$mnt" && ls "$mnt/$ip/share" >/dev/null 2>&1; then ok=1; break; fi
      sleep 0.1
    done
    if [ -z "$ok" ]; then
      SAMBA_WHY="smbnetfs did not reach the share: $(tail -c 300 "$home/smbnetfs.log" | tr '\n' ' ')"
      return 1
    fi
    SAMBA_ROOTS+=("$mnt/$ip/share")
  done
  return 0
}

samba_share_down() {
  local mnt pid
  for mnt in "${SAMBA_MOUNTS[@]}"; do
    if _samba_mounted "$mnt"; then
      fusermount3 -u "$mnt" 2>/dev/null || fusermount -u "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true
    fi
  done
  for pid in "${SAMBA_NETFS_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "$SAMBA_SMBD_PID" ]; then
    # smbd runs in a session of its own (it ends its process group when it stops): its children,
    # one per connection, end with it.
    kill "$SAMBA_SMBD_PID" 2>/dev/null || true
    local _
    for _ in $(seq 50); do
      kill -0 "$SAMBA_SMBD_PID" 2>/dev/null || break
      sleep 0.1
    done
  fi
  # Never remove through a mount that is still there.
  local still=""
  for mnt in "${SAMBA_MOUNTS[@]}"; do _samba_mounted "$mnt" && still=1; done
  [ -n "$still" ] || [ -z "$SAMBA_WORK" ] || rm -rf "$SAMBA_WORK"
  SAMBA_NETFS_PIDS=() SAMBA_MOUNTS=() SAMBA_ROOTS=() SAMBA_SMBD_PID="" SAMBA_WORK=""
}
