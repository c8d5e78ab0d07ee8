#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does nothing when all are there.
# samba and smbnetfs serve the tests' Windows-style share (about 20 s to install here).
# With "bench", also what the benchmarks' slow share needs (a FUSE file system built here); any
# other argument names a further package (the screenshot scripts' window manager, tray, ...).
set -euo pipefail
pkgs=(cmake ninja-build g++ qt6-base-dev libgl1-mesa-dev libgtest-dev libbenchmark-dev
      xvfb xauth imagemagick fonts-noto-cjk faketime poppler-utils ccache clang libclang-rt-14-dev
      desktop-file-utils appstream dpkg-dev file x11-utils
      dbus qt6-translations-l10n
      samba smbnetfs fuse3)
for arg in "$@"; do
  if [ "$arg" = bench ]; then pkgs+=(libfuse3-dev pkg-config); else pkgs+=("$arg"); fi
done
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
