#!/bin/sh
# Fails when a shipped exe imports a DLL that Windows might take from the exe's own folder:
# only DLLs it always loads from the system folder, and comctl32 (side by side through the
# manifest), may appear in the import table. And the imports of those DLLs (comctl32's
# among them) must be taken from the system folder only: the exe's load configuration has
# DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800, the WORD at offset 78).
# usage: import_table.sh OBJDUMP EXE...
objdump=$1
shift
status=0

# The bytes of the exe's load configuration, in hex, as the header's entry gives them.
load_configuration() {
    header=$("$objdump" -p "$1")
    base=$(printf '%s\n' "$header" | awk '$1 == "ImageBase" { print $2 }')
    entry=$(printf '%s\n' "$header" | awk '/Load Configuration Directory/ { print $3, $4 }')
    rva=${entry% *}
    size=${entry#* }
    [ -n "$base" ] && [ -n "$rva" ] && [ $((0x$rva)) -ne 0 ] && [ $((0x$size)) -ne 0 ] || return 1
    start=$((0x$base + 0x$rva))
    "$objdump" -s --start-address=$start --stop-address=$((start + 0x$size)) "$1" |
        awk '/^ [0-9a-f]+ / { for (i = 2; i <= 5 && $i ~ /^[0-9a-f]+$/; i++) printf "%s", $i }'
}
# The little-endian value of COUNT bytes at OFFSET of a hex string.
value_at() {
    hex=$1 offset=$2 count=$3 value=0
    i=$((count - 1))
    while [ $i -ge 0 ]; do
        byte=$(printf '%s' "$hex" | cut -c$((2 * (offset + i) + 1))-$((2 * (offset + i) + 2)))
        value=$((value * 256 + 0x${byte:-0}))
        i=$((i - 1))
    done
    echo $value
}

for exe in "$@"; do
    # Windows reads the structure only when the entry's size equals the structure's Size.
    config=$(load_configuration "$exe")
    size=$(value_at "$config" 0 4)
    flags=$(value_at "$config" 78 2)
    if [ -z "$config" ]; then
        echo "$exe: no load configuration"
        status=1
    elif [ $((${#config} / 2)) -ne "$size" ] || [ "$size" -lt 80 ]; then
        echo "$exe: load-configuration entry of $((${#config} / 2)) bytes, structure Size $size: must be equal, at least 80"
        status=1
    elif [ "$flags" -ne $((0x800)) ]; then
        echo "$exe: DependentLoadFlags $(printf '0x%x' "$flags"), not 0x800"
        status=1
    else
        echo "$exe: DependentLoadFlags 0x800"
    fi
    dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }')
    if [ -z "$dlls" ]; then
        echo "$exe: no import table read"
        status=1
    fi
    for dll in $dlls; do
        case "$dll" in
        kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | oleaut32.dll | \
        msvcrt.dll | shlwapi.dll | comctl32.dll) echo "$exe: $dll" ;;
        *) echo "$exe: $dll is not loaded from the system folder only"; status=1 ;;
        esac
    done
done
exit $status
