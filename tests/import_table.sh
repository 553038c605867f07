#!/bin/sh
# Fails when a shipped exe imports a DLL that Windows might take from the exe's own folder:
# only DLLs it always loads from the system folder, and comctl32 (side by side through the
# manifest), may appear in the import table.
# usage: import_table.sh OBJDUMP EXE...
objdump=$1
shift
status=0
for exe in "$@"; do
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
