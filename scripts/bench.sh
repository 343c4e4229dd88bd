#!/usr/bin/env bash
# make bench: every benchmark of the project, figures on standard output,
# each on a line of its own as `label: value unit`.
set -euo pipefail
build=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root" && cd "$build" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

for b in "$build"/bench/*_bench; do
    [ "$(basename "$b")" = main_window_bench ] && continue  # driven by transfer-bench.sh
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
    echo
done
if [ -x "$root/scripts/transfer-bench.sh" ]; then
    "$root/scripts/transfer-bench.sh" "$build"
fi
