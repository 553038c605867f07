#!/bin/sh
# Fails on any #include "..." in src/ that the table of allowed layer pairs does not list, so
# that a lower layer never includes a higher one. A file's layer is its folder under src/;
# an include's is the first part of its path (a bare name stays in the file's own folder).
# usage: layers.sh SRC_DIR
src=${1:?usage: layers.sh SRC_DIR}

# from   to: a layer, or one header of a layer
allowed='
core      core
spooler   core spooler
style     style
forms     core spooler forms app/app.h
app       core spooler forms style app resources
cli       core spooler cli
resources resources
'

cd "$src" || exit 1
files=$(find . -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.rc' \) | sed 's|^\./||' | sort)
[ -n "$files" ] || { echo "no sources under $src"; exit 1; }
status=0
checked=0
for file in $files; do
    from=${file%%/*}
    targets=$(printf '%s\n' "$allowed" | awk -v layer="$from" '$1 == layer { $1 = ""; print }')
    if [ -z "$targets" ]; then
        echo "$file: the folder $from is not in the table of layers"
        status=1
        continue
    fi
    includes=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    for include in $includes; do
        case "$include" in
        */*) to=${include%%/*} ;;
        *) to=$from ;;
        esac
        checked=$((checked + 1))
        ok=0
        for target in $targets; do
            [ "$target" = "$to" ] || [ "$target" = "$include" ] && ok=1
        done
        if [ $ok = 0 ]; then
            echo "$file: includes \"$include\", but $from may include only: $targets"
            status=1
        fi
    done
done
echo "$checked includes checked in $(echo "$files" | wc -l) files"
exit $status
