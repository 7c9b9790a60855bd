#!/usr/bin/env bash
# The 32-bit component through the system's surrogate against in-process, under Wine, in one run:
# alldata of a full scanner (32767 simulated barcodes) read by a 32-bit cscript (in-process) and by
# a 64-bit cscript (through dllhost), and the cost of one property read each way.
# Goal: alldata through the surrogate at most 1.2 times in-process.
# Usage: bench/surrogate_bench.sh   (builds the x86 package with scripts/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/cmake/component_ids.sh"

work=$(mktemp -d /tmp/harrowtally-surrogate.XXXXXX)
wine64_loader=$(dpkg -L wine64 | grep -E '/wine64$' | head -n1)
wineserver=$(command -v wineserver)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
trap '"$wineserver" -k >/dev/null 2>&1; rm -rf "$work"' EXIT

"$root/scripts/package" --output "$work/dist" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/windows-x86/CMakeCache.txt")
timeout 300 "$wine64_loader" wineboot -i >/dev/null 2>&1
drive="$WINEPREFIX/drive_c"
mkdir -p "$drive/b"
cp "$work/dist/Harrowtally-$version-x86.msi" "$root/bench/surrogate_bench.vbs" "$drive/b/"
timeout 120 "$wine64_loader" msiexec /i "c:\\b\\Harrowtally-$version-x86.msi" /qn ADDLOCAL=ALL
printf 'port = 3\ndevice_id = 4A 58 01 0C 7F 00 93 E2\nbarcodes_generated = 32767\n' >"$drive/b/device.txt"
export HARROWTALLY_SIM_STATE='c:\b\device.txt'

# The host's output goes to a file: the surrogate inherits the host's handles and outlives it.
run() {  # run label loader cscript creation calls
    timeout 600 "$2" "$3" //nologo 'c:\b\surrogate_bench.vbs' "$4" "$5" >"$work/$1.txt" 2>/dev/null
    "$wineserver" -k >/dev/null 2>&1 || true
    tr -d '\r' <"$work/$1.txt"
}
in_process=$(run in-process wine 'c:\windows\syswow64\cscript.exe' Harrowtally.Clicker 200000)
# Wine's installer keeps a 32-bit package's ProgID in the 32-bit registry view: the 64-bit host
# creates the class by its identifier.
surrogate=$(run surrogate "$wine64_loader" 'c:\windows\system32\cscript.exe' \
    "new:$HARROWTALLY_CLASS_ID" 2000)

read -r _ all_in count_in length_in <<<"$(grep '^alldata' <<<"$in_process")"
read -r _ all_sur count_sur length_sur <<<"$(grep '^alldata' <<<"$surrogate")"
call_in=$(grep '^call' <<<"$in_process" | cut -d' ' -f2)
call_sur=$(grep '^call' <<<"$surrogate" | cut -d' ' -f2)
[ "$count_in" = 32767 ] && [ "$count_sur" = 32767 ] && [ "$length_in" = "$length_sur" ] ||
    { echo "surrogate_bench: the hosts did not read the full scanner ($in_process / $surrogate)" >&2; exit 1; }
printf 'alldata, %s barcodes (%s characters), best of 3\n' "$count_in" "$length_in"
printf '  in-process (32-bit cscript):        %6.3f s\n' "$all_in"
printf '  through the surrogate (64-bit):     %6.3f s\n' "$all_sur"
printf '  ratio:                              %6.2f (goal: at most 1.2)\n' "$(awk -v a="$all_sur" -v b="$all_in" 'BEGIN { print a / b }')"
printf 'one property read (comport)\n'
printf '  in-process:                         %8.2f us\n' "$call_in"
printf '  through the surrogate:              %8.2f us\n' "$call_sur"
