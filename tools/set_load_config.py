#!/usr/bin/env python3
"""Point a PE32+ file's load-configuration entry at its _load_config_used.

MinGW's linker (binutils 2.40) leaves the optional header's load-configuration
entry empty even when the program defines _load_config_used, so Windows never
reads the structure. This writes the entry after the link: the structure's RVA,
from the symbol's address in the linker map, and its size, from the structure's
own Size field (Windows ignores the directory when the two sizes differ). The
header checksum is computed again. Running it twice gives the same file.

    python3 tools/set_load_config.py EXE MAP
"""

import array
import re
import struct
import sys

LOAD_CONFIG_ENTRY = 10


def fail(message):
    sys.exit("set_load_config: " + message)


def symbol_address(map_path):
    pattern = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+_load_config_used\s*$")
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            match = pattern.match(line)
            if match:
                return int(match.group(1), 16)
    fail(map_path + ": no _load_config_used")


def checksum(data, field):
    padded = bytes(data) + b"\0" * (len(data) % 2)
    words = array.array("H", padded)
    if sys.byteorder != "little":
        words.byteswap()
    words[field // 2] = words[field // 2 + 1] = 0
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main(exe_path, map_path):
    address = symbol_address(map_path)
    with open(exe_path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail(exe_path + ": not a PE file")
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        fail(exe_path + ": not PE32+")
    image_base = struct.unpack_from("<Q", data, optional + 24)[0]
    if struct.unpack_from("<I", data, optional + 108)[0] <= LOAD_CONFIG_ENTRY:
        fail(exe_path + ": no load-configuration entry in the header")

    rva = address - image_base
    for i in range(sections):
        header = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, header + 8)
        if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
            offset = raw_pointer + rva - virtual_address
            size = struct.unpack_from("<I", data, offset)[0]
            if size < 8 or rva + size > virtual_address + min(virtual_size, raw_size):
                fail("_load_config_used gives %d bytes, beyond its section" % size)
            break
    else:
        fail("_load_config_used at RVA 0x%X lies in no section's file data" % rva)

    struct.pack_into("<II", data, optional + 112 + 8 * LOAD_CONFIG_ENTRY, rva, size)
    struct.pack_into("<I", data, optional + 64, checksum(data, optional + 64))
    with open(exe_path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
