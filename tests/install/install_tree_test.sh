#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the tree file by file, validates the desktop
# entry and the metainfo, and runs the installed program's command line without any display.
set -euo pipefail
cmake=${1:?usage: install_tree_test.sh cmake build-dir prefix}
build=${2:?}
prefix=${3:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

dest="$work/dest"
DESTDIR="$dest" "$cmake" --install "$build" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
usr="$dest$prefix"
id=org.quillbrook.Quillbrook

expected=(bin/quillbrook share/doc/quillbrook/说明.pdf share/applications/$id.desktop
          share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg)
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f -printf '%P\n' | sort) \
  || fail "the installed files differ from the expected list (< expected, > installed)"
[ -z "$(find "$dest" -type f ! -path "$usr/*")" ] || fail "files installed outside $prefix"

[ -x "$usr/bin/quillbrook" ] || fail "the program is not executable"
[ "$(head -c 5 "$usr/share/doc/quillbrook/说明.pdf")" = "%PDF-" ] || fail "说明.pdf is not a PDF"
for size in "${sizes[@]}"; do
  file "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," \
    || fail "the ${size}px icon is not a ${size}x${size} PNG"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is not an SVG"

desktop="$usr/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=quillbrook %f' "$desktop" || fail "Exec does not take an optional folder"
grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
metainfo="$usr/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "launchable"
grep -q '<release version="2.0.5"' "$metainfo" || fail "release 2.0.5"
grep -q '<screenshot type="default">' "$metainfo" || fail "screenshot"

# The command line needs no display: no X, no Wayland, no platform chosen.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/quillbrook" "$@" >"$work/out" 2>"$work/err"; }
status() { set +e; run "$@"; echo $?; set -e; }

[ "$(status --version)" = 0 ] || fail "--version exit status"
[ "$(cat "$work/out")" = "Quillbrook 2.0.5" ] || fail "--version printed: $(cat "$work/out")"
[ "$(status --help)" = 0 ] || fail "--help exit status"
grep -qx '用法：quillbrook \[选项\] \[--\] \[文件夹\]' "$work/out" || fail "--help usage line: $(cat "$work/out")"
# A staged copy is a portable one: without a folder it would use its own.
grep -qxF "  现在不给文件夹启动时的根目录：$usr/bin" "$work/out" || fail "--help root account: $(cat "$work/out")"

[ "$(status "$work/没有这个文件夹")" = 2 ] || fail "a missing folder does not exit with 2"
[ "$(cat "$work/err")" = "文件夹不存在或不是文件夹：$work/没有这个文件夹" ] || fail "message: $(cat "$work/err")"
[ "$(status "$desktop")" = 2 ] || fail "a file given as the folder does not exit with 2"
[ "$(status --bogus)" = 2 ] || fail "an unknown option does not exit with 2"
grep -q '未知选项：--bogus' "$work/err" || fail "unknown option message: $(cat "$work/err")"
[ "$(status "$work" "$work")" = 2 ] || fail "two folders do not exit with 2"

echo "1 passed, 0 failed"
