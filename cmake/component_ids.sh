# Sourced by the test and benchmark scripts: the component's identifiers, read from
# component_ids.cmake beside this file, as HARROWTALLY_CLASS_ID, HARROWTALLY_LIBRARY_ID and
# HARROWTALLY_INTERFACE_ID in braces ("{81910441-...}").
ids_file="$(dirname "${BASH_SOURCE[0]}")/component_ids.cmake"
for _name in CLASS LIBRARY INTERFACE; do
    _id=$(sed -n "s/^set(HARROWTALLY_${_name}_ID \([0-9A-Fa-f-]*\))\$/\1/p" "$ids_file")
    [ -n "$_id" ] || { echo "no HARROWTALLY_${_name}_ID in $ids_file" >&2; exit 2; }
    export "HARROWTALLY_${_name}_ID={$_id}"
done
unset _name _id ids_file
