#!/usr/bin/env bash
# make fuzz: runs every libFuzzer target of a fuzz build for the given number
# of seconds, one after another, each from a copy of its seed corpus so the
# committed seeds stay as they are.
#   scripts/fuzz.sh <builddir> <seconds>
set -euo pipefail
build=${1:?usage: fuzz.sh <builddir> <seconds>}
seconds=${2:?usage: fuzz.sh <builddir> <seconds>}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root" && cd "$build" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/aktarim-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
found=0
for fuzzer in "$build"/fuzz/*_fuzz; do
    [ -x "$fuzzer" ] || continue
    found=1
    name=$(basename "$fuzzer")
    corpus="$work/$name/corpus"
    artifacts="$work/$name/artifacts/"
    mkdir -p "$corpus" "$artifacts"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -r "$root/fuzz/corpus/$name/." "$corpus/"
    fi
    echo "== $name: ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
            "$corpus" >"$work/$name/log" 2>&1; then
        status=1
        echo "$name FAILED; last lines of its log:"
        tail -n 40 "$work/$name/log"
        # Keep what crashed it where the user can find it.
        mkdir -p "$build/fuzz-artifacts/$name"
        cp -r "$artifacts/." "$build/fuzz-artifacts/$name/"
        echo "crashing inputs copied to $build/fuzz-artifacts/$name"
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
        "$work/$name/log" || true
    grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$name/log" | tail -n 1 || true
done
if [ "$found" = 0 ]; then
    echo "no fuzz targets under $build/fuzz (configure with: cmake --preset fuzz)" >&2
    exit 1
fi
exit $status
