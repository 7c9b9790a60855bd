#!/usr/bin/env bash
# Whole-process wall time and peak memory of the main job on a full scanner:
# `harrowtally download --format record` of a simulated scanner holding 32767 barcodes, the
# settling pause included. Goal: under 1.5 s and under 20 MB.
# Usage: bench/download_bench.sh [RUNS]   (an optimised build in build/bench; RUNS defaults to 5)
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
printf 'port = 3\ndevice_id = 4A 58 01 0C 7F 00 93 E2\nbarcodes_generated = 32767\n' >"$work/device.txt"
export HARROWTALLY_SIM_STATE="$work/device.txt"

echo "harrowtally download --format record, 32767 simulated barcodes on port 3 (search from port 0), $runs runs"
printf '%-5s %10s %14s %12s\n' run "wall (s)" "peak RSS (MB)" "record (B)"
worst_wall=0
worst_rss=0
for run in $(seq 1 "$runs"); do
    /usr/bin/time -f '%e %M' -o "$work/time" build/bench/host/harrowtally download --format record >"$work/record"
    read -r wall rss_kb <"$work/time"
    size=$(stat -c %s "$work/record")
    head -c 3 "$work/record" | grep -q V01 || { echo "run $run: no export record" >&2; exit 1; }
    printf '%-5s %10s %14.1f %12s\n' "$run" "$wall" "$(awk -v k="$rss_kb" 'BEGIN { print k / 1024 }')" "$size"
    worst_wall=$(awk -v a="$wall" -v b="$worst_wall" 'BEGIN { print (a > b ? a : b) }')
    worst_rss=$(( rss_kb > worst_rss ? rss_kb : worst_rss ))
done
printf 'worst: %.2f s (goal < 1.5 s), %.1f MB (goal < 20 MB)\n' "$worst_wall" "$(awk -v k="$worst_rss" 'BEGIN { print k / 1024 }')"
if ! awk -v w="$worst_wall" 'BEGIN { exit !(w < 1.5) }' || [ "$worst_rss" -ge $((20 * 1024)) ]; then
    echo "goal missed" >&2
    exit 1
fi
echo "goal met"
