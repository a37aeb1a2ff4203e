#!/usr/bin/env bash
# Checks what FileMaker and the Windows loader see of the built plug-in: one export, imports from
# Windows system DLLs and FMWrapper.dll only, and the version resource.
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 |
          grep -oE '\] [A-Za-z_][A-Za-z0-9_@]*$' | sed 's/^\] //' || true)
[ "$exports" = "FMExternCallProc" ] || fail "exports are [$exports], expected FMExternCallProc only"

allowed='^(kernel32|user32|advapi32|shell32|ole32|winhttp|ws2_32|msvcrt|ntdll|bcrypt|crypt32|shlwapi|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$(printf '%s\n' "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
for name in $imports; do
  [[ $name =~ $allowed ]] || fail "imports from $name"
done
# FMWrapper is delay-loaded: its name and calls are in the image but not in the import table.
texts=$(strings -a "$dll")
grep -qx 'FMWrapper.dll' <<<"$texts" || fail "no delay import of FMWrapper.dll"

# Version strings are stored as UTF-16LE.
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n'; }
image=$(od -An -tx1 -v "$dll" | tr -d ' \n')
for pair in "CompanyName=Tide Loom" "FileDescription=TideLoom FileMaker Plug-in" \
            "FileVersion=1.6.18" "InternalName=TideLoom" "OriginalFilename=TideLoom.fmx64" \
            "ProductName=TideLoom Plug-in" "ProductVersion=1.6.18"; do
  key=${pair%%=*}
  value=${pair#*=}
  [[ $image == *"$(utf16 "$key")"* ]] || fail "version resource lacks $key"
  [[ $image == *"$(utf16 "$value")"* ]] || fail "version resource lacks $key value \"$value\""
done
# VS_FIXEDFILEINFO: signature FEEF04BD, then file version 1.6.18.0 (MS 0x00010006, LS 0x00120000).
[[ $image == *"bd04effe0000010006000100000012"* ]] || fail "fixed file version is not 1.6.18.0"
echo "TideLoom.fmx64: exports, imports and version resource as expected"
