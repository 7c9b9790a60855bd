#!/usr/bin/env bash
# Whole-process wall time and peak memory on a full scanner (a simulated scanner holding 32767
# barcodes), the settling pause included: `harrowtally download --format record`, and the main job
# `harrowtally download --output F.csv --empty-after` (download, save, read back and empty in one
# connection), and the same into a workbook, F.xlsx; then the nightly job, `harrowtally collect` into
# a new folder in the workbook format, its ledger included. Goals: the CSV job under 1.45 s and
# 20 MB, the record under 1.5 s and 20 MB, the workbook job under 1.5 s and 40 MB (its sheet is
# inflated whole to be read back), collect within 10 % of the workbook job (1.65 s) and under 45 MB.
# Usage: bench/download_bench.sh [RUNS]   (an optimised build in build/bench; RUNS defaults to 5)
# HARROWTALLY_BENCH_PROGRAM=PATH times another build's harrowtally instead (one of an earlier
# commit, say, for figures before and after a change in one sitting).
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-5}"
jobs="${HARROWTALLY_JOBS:-2}"

scripts/setup
if [ ! -x /usr/bin/time ]; then
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends time ||
        { "${sudo[@]}" apt-get update -q && DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends time; }
fi

cmake --preset bench >/dev/null
cmake --build --preset bench -j"$jobs" --target harrowtally

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HARROWTALLY_SIM_STATE="$work/device.txt"
full_scanner() {
    printf 'port = 3\ndevice_id = 4A 58 01 0C 7F 00 93 E2\nbarcodes_generated = 32767\n' >"$work/device.txt"
}

missed=0
# Runs the job RUNS times on a full scanner; prints wall time, peak memory and the output's size.
measure() {  # measure TITLE OUTPUT GOAL_S GOAL_MB COMMAND...
    local title="$1" output="$2" goal_s="$3" goal_mb="$4"
    shift 4
    echo "$title, 32767 simulated barcodes on port 3 (search from port 0), $runs runs"
    printf '%-5s %10s %14s %12s\n' run "wall (s)" "peak RSS (MB)" "output (B)"
    local worst_wall=0 worst_rss=0 run wall rss_kb size
    for run in $(seq 1 "$runs"); do
        full_scanner
        rm -rf "$output"
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >"$work/stdout"
        read -r wall rss_kb <"$work/time"
        size=$(du -sb "$output" | cut -f1)
        printf '%-5s %10s %14.1f %12s\n' "$run" "$wall" "$(awk -v k="$rss_kb" 'BEGIN { print k / 1024 }')" "$size"
        worst_wall=$(awk -v a="$wall" -v b="$worst_wall" 'BEGIN { print (a > b ? a : b) }')
        worst_rss=$(( rss_kb > worst_rss ? rss_kb : worst_rss ))
    done
    printf 'worst: %.2f s (goal < %s s), %.1f MB (goal < %s MB)\n\n' "$worst_wall" "$goal_s" \
        "$(awk -v k="$worst_rss" 'BEGIN { print k / 1024 }')" "$goal_mb"
    if ! awk -v w="$worst_wall" -v g="$goal_s" 'BEGIN { exit !(w < g) }' || [ "$worst_rss" -ge $((goal_mb * 1024)) ]; then
        missed=1
    fi
}

harrowtally="${HARROWTALLY_BENCH_PROGRAM:-build/bench/host/harrowtally}"
measure "harrowtally download --format record" "$work/stdout" 1.5 20 $harrowtally download --format record
head -c 3 "$work/stdout" | grep -q V01 || { echo "no export record" >&2; exit 1; }

# The main job: download, save as CSV, read back and empty, in one connection.
measure "harrowtally download --output F.csv --empty-after" "$work/scans.csv" 1.45 20 \
    $harrowtally download --output "$work/scans.csv" --empty-after
grep -q "^Emptied the scanner on port 3" "$work/stdout" || { echo "the main job did not empty the scanner" >&2; exit 1; }
[ "$(grep -c . "$work/scans.csv")" = 32768 ] || { echo "the main job did not save every barcode" >&2; exit 1; }

# The same into a workbook, which is read back with its own reader before the erase.
measure "harrowtally download --output F.xlsx --empty-after" "$work/scans.xlsx" 1.5 40 \
    $harrowtally download --output "$work/scans.xlsx" --empty-after
grep -q "^Emptied the scanner on port 3" "$work/stdout" || { echo "the workbook job did not empty the scanner" >&2; exit 1; }

# The nightly job: the same download, saved into a new file of a folder with its ledger.
measure "harrowtally collect --into FOLDER (xlsx)" "$work/collected" 1.65 45 \
    $harrowtally collect --into "$work/collected"
grep -q "saved 32767 barcodes in .*; emptied" "$work/stdout" || { echo "collect did not save and empty" >&2; exit 1; }

if [ "$missed" = 1 ]; then
    echo "goal missed" >&2
    exit 1
fi
echo "goal met"
