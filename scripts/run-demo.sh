#!/usr/bin/env bash
# Lays out a demo tree with the program copied into its root and starts it there. Without a display
# it runs under xvfb-run for a few seconds, saves a screenshot and prints its path as the last line.
set -euo pipefail
program=${1:?usage: run-demo.sh path/to/quillbrook}
here=$(cd "$(dirname "$0")/.." && pwd)
demo="$here/demo"
rm -rf "$demo"
mkdir -p "$demo"

# A text file as the program stores it: the mark FF FE, then UTF-16LE; "\r\n" for line breaks.
utf16() { # file text
  { printf '\xff\xfe'; printf '%b' "$2" | iconv -f UTF-8 -t UTF-16LE; } > "$1"
}
# A schedule file: mode;hour;minute;spec, next trigger, count, weekend flag.
schedule() { # folder line1 next count weekend
  utf16 "$1/Quillbrook.Timer" "$2\r\n$3\r\n$4\r\n$5"
}
folder() { mkdir -p "$demo/$1"; }

next_month=$(date -d "$(date +%Y-%m-01) +1 month" +%Y-%-m)
next_year=$(( $(date +%Y) + 1 ))

folder "合同/2025年度采购合同"
utf16 "$demo/合同/2025年度采购合同/Quillbrook.desc" "与供应商签订的年度采购合同\r\n到期前一个月续签"
schedule "$demo/合同/2025年度采购合同" "0;9;0;3-1" "$next_year-3-1,9,0" "-1" "1"
folder "合同/租赁合同"
utf16 "$demo/合同/租赁合同/Quillbrook.desc" "办公室租赁，每月5日付租金"
schedule "$demo/合同/租赁合同" "1;10;30;5" "$next_month-5,10,30" "12" "1"
folder "合同/已归档"
folder "报销/差旅"
utf16 "$demo/报销/差旅/Quillbrook.desc" "差旅票据，每两周整理一次"
schedule "$demo/报销/差旅" "2;17;0;2024-9-16,14" "$(date -d 'next monday' +%Y-%-m-%-d),17,0" "-1" "0"
folder "报销/办公用品"
utf16 "$demo/报销/办公用品/Quillbrook.desc" "季度盘点"
schedule "$demo/报销/办公用品" "3;9;0;2024-1-31,3" "$next_year-1-31,9,0" "0" "0"
folder "个人证件"
utf16 "$demo/个人证件/Quillbrook.desc" "护照、驾照与社保卡的扫描件"
folder "个人证件/护照"
folder "Projects/Quillbrook Roadmap"
utf16 "$demo/Projects/Quillbrook Roadmap/Quillbrook.desc" "Release plan"
folder "收件箱"
printf 'note\n' > "$demo/收件箱/readme.txt"

cp "$program" "$demo/quillbrook"
help="$(dirname "$program")/说明.pdf"
[ -f "$help" ] && cp "$help" "$demo/"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$demo/quillbrook"
fi
shot="$demo/screenshot.png"
xvfb-run -a -s "-screen 0 1680x900x24" bash -c '
  "$1" & pid=$!
  sleep 4
  import -window root "$2"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' _ "$demo/quillbrook" "$shot"
echo "$shot"
