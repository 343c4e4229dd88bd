#!/usr/bin/env bash
# make run / make gui: two simulated terminals on this machine, a demo home
# folder naming both, and the transfer (or the desktop program) on it.
set -euo pipefail
mode=${1:-run}
build=${2:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root" && cd "$build" && pwd)
demo="$root/demo"
sim="$build/src/sim/terminal-sim"
pids=()

cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# start_sim NAME ARGS...: starts a simulator and waits (at most 20 s) for "ready".
start_sim() {
    local name=$1
    shift
    "$sim" --state "$demo/$name.db" --port-file "$demo/$name.port" "$@" >"$demo/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        grep -q '^ready$' "$demo/$name.log" 2>/dev/null && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "terminal-sim $name did not start:" >&2
    cat "$demo/$name.log" >&2
    exit 1
}

# Both modes start from freshly seeded terminals and an empty record file:
# the transfer of `make run` erases the terminals' logs, so terminals kept
# from it would open in `make gui` with nothing to transfer.
mkdir -p "$demo"
rm -rf "$demo/yedekler" "$demo/qb400.txt" "$demo"/*.db
start_sim giris --listen 127.0.0.1:0 --machine 1 --seed 1 --seed-users 40 --seed-templates 2 --seed-records 5000
start_sim cikis --listen 127.0.0.1:0 --serial-link "$demo/ttyDEMO" --machine 2 --seed 2 --seed-users 20 --seed-records 500

cat >"$demo/cihazlar.ini.new" <<INI
[ayarlar]
dosya=$demo/qb400.txt
silkontrol=1
[cihaz1]
adi=Giriş Kapısı
baglantitipi=Ethernet
makineno=1
portno=Com1
baudrate=115200
ipadres=127.0.0.1
ipport=$(cat "$demo/giris.port")
parola=
gcdurum=Standart
[cihaz2]
adi=Yemekhane
baglantitipi=Comm Port
makineno=2
portno=Com1
baudrate=115200
ipadres=
ipport=
parola=
gcdurum=Standart
[seriport]
com1=$demo/ttyDEMO
INI
iconv -f UTF-8 -t CP1254 "$demo/cihazlar.ini.new" | sed 's/$/\r/' >"$demo/cihazlar.ini"
rm -f "$demo/cihazlar.ini.new"

if [ "$mode" = gui ]; then
    echo "Masaüstü programı açılıyor: $build/src/app/aktarim --home $demo"
    "$build/src/app/aktarim" --home "$demo"
    exit 0
fi

echo "== aktarim-cli --home demo devices"
"$build/src/cli/aktarim-cli" --home "$demo" devices
echo
echo "== aktarim-cli --home demo transfer"
"$build/src/cli/aktarim-cli" --home "$demo" transfer || true
echo
echo "== $demo/qb400.txt ($(wc -l <"$demo/qb400.txt") satır), ilk satırlar:"
head -n 5 "$demo/qb400.txt"
echo
echo "== yedekler/"
for f in "$demo"/yedekler/*; do echo "$(basename "$f"): $(wc -l <"$f") satır"; done
echo
echo "Masaüstü programını aynı klasörde açmak için: make gui"
