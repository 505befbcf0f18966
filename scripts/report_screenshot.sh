#!/usr/bin/env bash
# Makes docs/report.png, the README's picture of kestrane-check's report: a
# few bundled problems and the README's examples checked, the page opened in
# headless Chromium, the first problem stepped to its ninth move.
#   scripts/report_screenshot.sh [BUILD_DIR]      (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
{
  grep -hP "\tzukou-092 " problems/zukou.sfen
  # The README's two examples of the alternate-solution search.
  printf '6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1\t3\treadme-1\n5p1Sk/7P1/6Prl/9/9/9/9/9/9 b P 1\t3\treadme-2\n'
  # The regression file's problems are named by their place in it.
  awk -F'\t' -v OFS='\t' '!/^#/ { n++; if (n == 2 || n == 3) print $1, $2, "regression-" n }' problems/regression.sfen
} >"$out/problems.sfen"
"$BUILD/kestrane-check" "$out/problems.sfen" --html "$out/report.html" --limit 10000 --alt-seconds 30
sed 's|</body>|<script>document.querySelectorAll("#p-1 .mv")[8].click();</script></body>|' \
  "$out/report.html" >"$out/shot.html"
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --hide-scrollbars --user-data-dir="$out/profile" \
  --window-size=960,1320 --screenshot="$PWD/docs/report.png" "file://$out/shot.html" 2>/dev/null
echo "docs/report.png written"
