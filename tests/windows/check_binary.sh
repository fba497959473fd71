#!/usr/bin/env bash
# What a Windows host sees of a binary we ship, read from its PE headers with objdump -p:
#   check_binary.sh OBJDUMP FILE [EXPORT...]
# FILE may import only DLLs that every Windows system has (no C++ runtime, no winpthread, no
# zlib or libsndfile beside it); when exports are named, FILE exports exactly those.
set -euo pipefail
objdump=$1
file=$2
shift 2
headers=$("$objdump" -p "$file")

# DLLs of Windows itself; the API sets (api-ms-win-*) are names of system DLLs too.
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|comctl32|shlwapi|ws2_32|bcrypt|ntdll|msvcrt|ucrtbase|winmm|version|imm32|uxtheme|dwmapi|api-ms-win-.*)\.dll$'
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
if [ -z "$imports" ]; then
  echo "FAIL $file: objdump lists no imports at all"
  exit 1
fi
bad=$(printf '%s\n' "$imports" | grep -Ev "$system" || true)
if [ -n "$bad" ]; then
  echo "FAIL $file imports DLLs that are not part of Windows:"
  printf '  %s\n' $bad
  exit 1
fi
echo "imports: $(echo $imports)"

if [ $# -gt 0 ]; then
  exports=$(printf '%s\n' "$headers" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort)
  want=$(printf '%s\n' "$@" | sort)
  if [ "$exports" != "$want" ]; then
    echo "FAIL $file exports:"
    printf '  %s\n' ${exports:-(nothing)}
    echo "want exactly:"
    printf '  %s\n' "$@"
    exit 1
  fi
  echo "exports: $(echo $exports)"
fi
echo "PASS $file"
