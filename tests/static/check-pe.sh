#!/usr/bin/env bash
# Checks a built Windows file without running it:
#   check-pe.sh FILE pei-i386|pei-x86-64 [DLL ...]
# The file must be of the given PE format and import no DLL outside the list given (compared
# without regard to case): the deliverables depend on Windows system DLLs only.
set -euo pipefail
file=${1:?file}; format=${2:?format}; shift 2
objdump=x86_64-w64-mingw32-objdump
headers=$($objdump -p "$file")
if ! grep -q "file format $format" <<<"$headers"; then
  echo "$file: not $format: $(grep -m1 'file format' <<<"$headers")" >&2
  exit 1
fi
allowed=$(printf '%s\n' "$@" | tr '[:upper:]' '[:lower:]')
bad=0
while read -r dll; do
  if ! grep -qxF "$(tr '[:upper:]' '[:lower:]' <<<"$dll")" <<<"$allowed"; then
    echo "$file imports $dll, which is not a Windows system DLL" >&2
    bad=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
exit $bad
