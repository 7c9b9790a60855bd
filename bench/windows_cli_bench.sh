#!/usr/bin/env bash
# The main job on Windows against Linux: `download --output F.csv --empty-after` on a simulated
# scanner holding 32767 barcodes, by harrowtally.exe (x86, Release, beside the simulated csp2a.DLL)
# under Wine and by the Linux build (build/bench), on the same data, taking turns. Whole-process
# wall time, Wine's start included, in a prefix made and warmed up first. Goal: the Windows
# build's median within 1.3 times the Linux build's.
# Usage: bench/windows_cli_bench.sh [RUNS]   (RUNS of each, 5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-5}"
jobs="${HARROWTALLY_JOBS:-2}"

scripts/setup native wine
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$jobs" --target harrowtally
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j"$jobs" --target harrowtally csp2a

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all LC_ALL=C.UTF-8
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir -p "$work/exe"
cp build/windows-x86/host/harrowtally.exe build/windows-x86/sim/csp2a.DLL "$work/exe/"
export HARROWTALLY_SIM_STATE="$work/device.txt"
full_scanner() {
    printf 'port = 3\ndevice_id = 4A 58 01 0C 7F 00 93 E2\nbarcodes_generated = 32767\n' >"$work/device.txt"
}
wine wineboot -i >/dev/null 2>&1
wineserver -w
# The Wine server stays between runs, as it does for a user's console session on Windows.
wineserver -p 600
linux=(build/bench/host/harrowtally)
windows=(wine "$work/exe/harrowtally.exe")

# One run of the main job; prints its wall time in seconds, and checks its outcome.
timed() {
    local name=$1
    shift
    full_scanner
    rm -f "$work/scans.csv"
    local start end
    start=$(date +%s.%N)
    "$@" download --output "$work/scans.csv" --empty-after >"$work/stdout" 2>"$work/stderr"
    end=$(date +%s.%N)
    grep -q "^Emptied the scanner on port 3" "$work/stdout" &&
        [ "$(grep -c . "$work/scans.csv")" = 32768 ] ||
        { echo "$name: the main job did not save and empty: $(cat "$work/stderr")" >&2; exit 1; }
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}

timed warm-up "${windows[@]}" >/dev/null
timed warm-up "${linux[@]}" >/dev/null
echo "download --output F.csv --empty-after, 32767 simulated barcodes on port 3, $runs runs each"
printf '%-5s %12s %14s\n' run "Linux (s)" "Windows (s)"
: >"$work/linux.txt"
: >"$work/windows.txt"
for run in $(seq 1 "$runs"); do
    l=$(timed Linux "${linux[@]}")
    w=$(timed Windows "${windows[@]}")
    echo "$l" >>"$work/linux.txt"
    echo "$w" >>"$work/windows.txt"
    printf '%-5s %12s %14s\n' "$run" "$l" "$w"
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
l=$(median "$work/linux.txt")
w=$(median "$work/windows.txt")
ratio=$(awk -v l="$l" -v w="$w" 'BEGIN { printf "%.2f", w / l }')
echo "median: Linux $l s, Windows under Wine $w s, ratio $ratio (goal <= 1.3)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.3) }' || { echo "goal missed" >&2; exit 1; }
echo "goal met"
