#!/usr/bin/env python3
"""Checks quorvel.dll's export table: every ordinal with its name, and
nothing else. With --import-library, also checks that the import library
binds each export under the symbol a C caller of that architecture uses.

Usage: check-dll-exports.py [--objdump PROGRAM] [--import-library LIB
                             --nm PROGRAM] quorvel.dll
"""
import argparse
import re
import subprocess
import sys

# Ordinal, exported name, and the argument bytes of the __stdcall function.
EXPORTS = [
    (1, "rvx_ConnectCameraDisplayA", 12),
    (2, "rvx_ConnectCameraDisplayW", 12),
    (3, "rvx_ConnectCameraNoDisplayA", 12),
    (4, "rvx_ConnectCameraNoDisplayW", 12),
    (5, "rvx_DisconnectAllCameras", 0),
    (6, "rvx_DisconnectCamera", 4),
    (7, "rvx_FlashConnectCameraA", 4),
    (8, "rvx_FlashConnectCameraW", 4),
    (9, "rvx_FlashOperation", 16),
    (10, "rvx_GetFPS", 12),
    (11, "_rvx_GetMiscOption@12", 12),
    (12, "rvx_GetSmartMotion", 12),
    (13, "rvx_RawImageToBmpImage", 24),
    (14, "rvx_RawImageToBmpRGBFileA", 20),
    (15, "rvx_RawImageToBmpRGBFileW", 20),
    (16, "rvx_RawImageToRawFileA", 20),
    (17, "rvx_RawImageToRawFileW", 20),
    (18, "rvx_SetCallbackAlarmSignal", 12),
    (19, "rvx_SetCallbackDetectObjectsReport", 12),
    (20, "rvx_SetCallbackReceivedOneFrame", 12),
    (21, "rvx_SetMiscOption", 12),
    (22, "rvx_SetSmartMotion", 12),
    (23, "rvx_StartVideoStream2", 16),
    (24, "rvx_StartVideoStream", 8),
    (25, "rvx_StopVideoStream", 4),
    # Extensions.
    (26, "rvx_SetCallbackCameraLost", 12),
]


def read_exports(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], check=True,
                          capture_output=True, text=True).stdout
    base = re.search(r"Export Address Table -- Ordinal Base (\d+)", text)
    if base is None:
        sys.exit(f"{dll}: no export table")
    base = int(base.group(1))
    table = text[text.index("[Ordinal/Name Pointer] Table"):]
    table = table.split("\n\n", 1)[0]
    names = {}
    for index, name in re.findall(r"\[\s*(\d+)\]\s+(\S+)", table):
        names[int(index) + base] = name
    slots = re.findall(r"\[\s*\d+\]\s+\+base\[\s*(\d+)\]",
                       text[text.index("Export Address Table -- Ordinal"):])
    return names, [int(slot) for slot in slots]


def callers_symbol(name, ordinal_bytes, stdcall):
    # A C caller names the function, not the decorated export.
    function = "rvx_GetMiscOption" if name.startswith("_rvx_") else name
    if stdcall:
        return f"__imp__{function}@{ordinal_bytes}"
    return f"__imp_{function}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dll")
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("--import-library")
    parser.add_argument("--nm", default="x86_64-w64-mingw32-nm")
    args = parser.parse_args()

    names, slots = read_exports(args.objdump, args.dll)
    expected = {ordinal: name for ordinal, name, _ in EXPORTS}
    problems = []
    if sorted(slots) != sorted(expected):
        problems.append(f"ordinals {sorted(slots)}, want 1..{len(EXPORTS)}")
    for ordinal in sorted(set(expected) | set(names)):
        if names.get(ordinal) != expected.get(ordinal):
            problems.append(f"ordinal {ordinal}: {names.get(ordinal)!r}, "
                            f"want {expected.get(ordinal)!r}")

    if args.import_library:
        symbols = subprocess.run([args.nm, args.import_library], check=True,
                                 capture_output=True, text=True).stdout
        stdcall = "pei-i386" in subprocess.run(
            [args.objdump, "-f", args.dll], check=True, capture_output=True,
            text=True).stdout
        for _, name, size in EXPORTS:
            symbol = callers_symbol(name, size, stdcall)
            if not re.search(rf"\b{re.escape(symbol)}$", symbols, re.M):
                problems.append(f"{args.import_library}: no {symbol}")

    if problems:
        print(f"{args.dll}: export table differs:", *problems, sep="\n  ")
        return 1
    print(f"{args.dll}: {len(EXPORTS)} exports at ordinals 1 to "
          f"{len(EXPORTS)}, names as specified")
    return 0


if __name__ == "__main__":
    sys.exit(main())
