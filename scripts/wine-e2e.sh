#!/usr/bin/env bash
# The Windows aktarim-cli.exe under Wine against the Linux terminal-sim, once
# over loopback TCP and once over a serial port (COM2 of the Wine prefix
# linked to the simulator's pseudo-terminal), beside the Linux aktarim-cli on
# identical copies of the same terminals: the record file and every backup
# must be equal byte for byte, and both terminals' logs erased. First the
# Windows build's own unit tests (text, INI files, device list) under Wine.
#
#   scripts/wine-e2e.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(cd "$root" && cd "${1:-build/release}" && pwd)
windows_build=$(cd "$root" && cd "${2:-build/windows}" && pwd)
sim="$linux_build/src/sim/terminal-sim"
cli="$linux_build/src/cli/aktarim-cli"
exe="$windows_build/src/cli/aktarim-cli.exe"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
for f in "$sim" "$cli" "$exe" "$wine"; do
    [ -x "$f" ] || { echo "wine-e2e: $f is missing" >&2; exit 1; }
done

work=$(mktemp -d /tmp/aktarim-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    timeout 20 "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "wine-e2e: FAIL: $*" >&2
    exit 1
}

# start_sim NAME ARGS...: a simulator in the background, waited for (20 s at most).
start_sim() {
    local name=$1
    shift
    "$sim" --port-file "$work/$name.port" "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        grep -q '^ready$' "$work/$name.log" 2>/dev/null && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/$name.log" >&2
    fail "terminal-sim $name did not start"
}

stop_sims() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
}

log_size() { "$sim" dump --state "$1" | grep -o '"records":\[.*' | grep -o '"user"' | wc -l; }

# The prefix is created while the terminals are seeded.
timeout 180 "$wine" wineboot --init >"$work/wineboot.log" 2>&1 &
wineboot=$!

# Two terminals seeded once; each build transfers from its own copy, so
# both see the same records with the same times.
start_sim tcp --state "$work/tcp.db" --listen 127.0.0.1:0 --machine 1 --seed 11 \
    --seed-users 30 --seed-records 3000
start_sim serial --state "$work/serial.db" --listen 127.0.0.1:0 --machine 2 --seed 12 \
    --seed-users 10 --seed-records 400
stop_sims
for build in linux windows; do
    cp "$work/tcp.db" "$work/$build-tcp.db"
    cp "$work/serial.db" "$work/$build-serial.db"
done
wait "$wineboot" || fail "wineboot did not finish (see $work/wineboot.log)"

start=$SECONDS
# ctest runs them through the toolchain's emulator, Wine, in this prefix.
ctest --test-dir "$windows_build" --output-on-failure --timeout 300 ||
    fail "the Windows unit tests failed under Wine"
echo "wine-e2e: Windows unit tests done in $((SECONDS - start)) s"

# write_ini HOME PORT [SERIAL_DEVICE]: both devices; the record file by a
# relative name with Turkish letters, in the current folder as always.
write_ini() {
    {
        printf '[ayarlar]\ndosya=Kayıtlar ğüşiöç.txt\nsilkontrol=1\n'
        printf '[cihaz1]\nadi=Giriş Kapısı\nbaglantitipi=Ethernet\nmakineno=1\nportno=Com1\n'
        printf 'baudrate=115200\nipadres=127.0.0.1\nipport=%s\nparola=\ngcdurum=Standart\n' "$2"
        printf '[cihaz2]\nadi=Yemekhane\nbaglantitipi=Comm Port\nmakineno=2\nportno=Com2\n'
        printf 'baudrate=115200\nipadres=\nipport=\nparola=\ngcdurum=Standart\n'
        if [ -n "${3:-}" ]; then printf '[seriport]\ncom2=%s\n' "$3"; fi
    } | iconv -f UTF-8 -t CP1254 | sed 's/$/\r/' >"$1/cihazlar.ini"
}

folder="Program Klasörü İşçi"
# run_build BUILD: starts that build's terminals and runs its transfer.
run_build() {
    local build=$1 home="$work/$1/$folder" serial_link status=0
    mkdir -p "$home"
    if [ "$build" = linux ]; then
        serial_link="$work/ttyLINUX"
    else
        # What COM2 is inside the prefix (our seriport default on Windows).
        serial_link="$WINEPREFIX/dosdevices/com2"
    fi
    start_sim "$build-tcp" --state "$work/$build-tcp.db" --listen 127.0.0.1:0
    start_sim "$build-serial" --state "$work/$build-serial.db" --listen 127.0.0.1:0 \
        --serial-link "$serial_link"
    if [ "$build" = linux ]; then
        write_ini "$home" "$(cat "$work/linux-tcp.port")" "$serial_link"
        (cd "$home" && timeout 300 "$cli" --home "$home" transfer) >"$work/$build.out" 2>&1 || status=$?
    else
        write_ini "$home" "$(cat "$work/windows-tcp.port")"
        (cd "$home" && timeout 300 "$wine" "$exe" --home "Z:${home//\//\\}" transfer) \
            >"$work/$build.out" 2>&1 || status=$?
    fi
    stop_sims
    cat "$work/$build.out"
    [ "$status" = 0 ] || fail "$build transfer exited $status"
}

start=$SECONDS
run_build linux
echo "wine-e2e: Linux transfer done in $((SECONDS - start)) s"
start=$SECONDS
run_build windows
echo "wine-e2e: Windows transfer under Wine done in $((SECONDS - start)) s"

linux_home="$work/linux/$folder"
windows_home="$work/windows/$folder"
record="Kayıtlar ğüşiöç.txt"
[ -s "$linux_home/$record" ] || fail "the Linux build wrote no record file"
lines=$(wc -l <"$linux_home/$record")
[ "$lines" = 3400 ] || fail "the Linux record file has $lines lines, not 3400"
# 31 characters and CR LF a line: no line end doubled by a text-mode file.
[ "$(wc -c <"$linux_home/$record")" = $((lines * 33)) ] || fail "the record lines are not 33 bytes each"
# The transfer log holds the time of day, and only the Windows form of the
# transfer lock leaves a lock file: neither is the files' content.
linux_files=$(cd "$linux_home" && find . -type f ! -name cihazlar.ini ! -name aktarim.log ! -name aktarim.lock | sort)
windows_files=$(cd "$windows_home" && find . -type f ! -name cihazlar.ini ! -name aktarim.log ! -name aktarim.lock | sort)
[ "$linux_files" = "$windows_files" ] ||
    fail "different files: Linux [$linux_files] Windows [$windows_files]"
while IFS= read -r f; do
    cmp "$linux_home/$f" "$windows_home/$f" || fail "$f differs"
    echo "wine-e2e: equal: ${f#./} ($(wc -c <"$linux_home/$f") bytes)"
done <<<"$linux_files"
[ "$(echo "$linux_files" | grep -c yedekler/)" = 2 ] || fail "expected two backups: $linux_files"
for db in "$work"/{linux,windows}-{tcp,serial}.db; do
    [ "$(log_size "$db")" = 0 ] || fail "$(basename "$db"): the terminal's log was not erased"
done
echo "wine-e2e: PASS (TCP and serial, $lines record lines, logs erased)"
