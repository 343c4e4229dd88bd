#!/usr/bin/env bash
# End-to-end transfer figures: 100,000 records from terminal-sim over
# loopback TCP into the record file and the backup file, through
# aktarim-cli and through the main window (offscreen).
set -euo pipefail
build=$1
runs=${RUNS:-5}
work=$(mktemp -d)
sim="$build/src/sim/terminal-sim"
serialpid=
trap 'kill -TERM $simpid $serialpid 2>/dev/null || true; wait $simpid $serialpid 2>/dev/null || true; rm -rf "$work"' EXIT

"$sim" --listen 127.0.0.1:0 --port-file "$work/port" --state "$work/sim.db" --seed 3 --seed-users 200 \
    --seed-records 100000 >"$work/sim.log" 2>&1 &
simpid=$!
for _ in $(seq 300); do grep -q '^ready$' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$work/sim.log" || { cat "$work/sim.log"; exit 1; }

printf '[ayarlar]\r\ndosya=%s/qb400.txt\r\nsilkontrol=0\r\n[cihaz1]\r\nadi=Bench\r\nbaglantitipi=Ethernet\r\nmakineno=1\r\nportno=Com1\r\nbaudrate=115200\r\nipadres=127.0.0.1\r\nipport=%s\r\nparola=\r\ngcdurum=Standart\r\n' \
    "$work" "$(cat "$work/port")" >"$work/cihazlar.ini"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

cli_times=()
for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$build/src/cli/aktarim-cli" --home "$work" transfer --keep-log >/dev/null
    end=$(date +%s.%N)
    cli_times+=("$(echo "$end - $start" | bc)")
done
lines=$(wc -l <"$work/qb400.txt")
cli=$(printf '%s\n' "${cli_times[@]}" | median | LC_ALL=C xargs printf '%.3f')
echo "aktarim-cli transfer, 100000 records over loopback TCP, median of $runs runs: ${cli} s"
echo "lines written by the $runs aktarim-cli runs: $lines lines"

if [ -x "$build/bench/main_window_bench" ]; then
    gui=$("$build/bench/main_window_bench" "$work" "$runs")
    echo "main window transfer (offscreen), same terminal, median of $runs runs: ${gui} s"
    echo "main window time / aktarim-cli time: $(echo "scale=4; $gui / $cli" | bc | LC_ALL=C xargs printf '%.2f') x"
fi

# The window must not freeze while a slow terminal is read: 3,000 records
# from a terminal-sim behind a pseudo-terminal throttled to 9,600 baud.
if [ -x "$build/bench/main_window_bench" ]; then
    mkdir -p "$work/serial"
    "$sim" --serial-link "$work/serial/tty" --baud 9600 --state "$work/serial/sim.db" --seed 4 \
        --seed-users 50 --seed-records 3000 >"$work/serial/sim.log" 2>&1 &
    serialpid=$!
    for _ in $(seq 300); do grep -q '^ready$' "$work/serial/sim.log" 2>/dev/null && break; sleep 0.1; done
    grep -q '^ready$' "$work/serial/sim.log" || { cat "$work/serial/sim.log"; exit 1; }
    printf '[ayarlar]\r\ndosya=%s/serial/qb400.txt\r\nsilkontrol=0\r\n[seriport]\r\ncom1=%s/serial/tty\r\n[zamanasimi]\r\nbaglanti=5000\r\nistek=10000\r\nbekleme=10000\r\n[cihaz1]\r\nadi=Seri\r\nbaglantitipi=Comm Port\r\nmakineno=1\r\nportno=Com1\r\nbaudrate=9600\r\nipadres=\r\nipport=\r\nparola=\r\ngcdurum=Standart\r\n' \
        "$work" "$work" >"$work/serial/cihazlar.ini"
    stall=$("$build/bench/main_window_bench" --stall "$work/serial")
    serialLines=$(wc -l <"$work/serial/qb400.txt" 2>/dev/null || echo 0)
    echo "longest UI stall during transfer: $stall ms (3000 records over a pseudo-terminal at 9600 baud, $serialLines lines written)"
fi
