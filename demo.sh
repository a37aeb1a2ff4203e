#!/usr/bin/env bash
# Builds TideLoom for Linux and shows the plug-in at work inside the FileMaker host stand-in,
# with the example solution.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scripts/install_packages.sh
scripts/build.sh linux

fmhost=build/linux/bin/fmhost
plugin=build/linux/bin/TideLoom.fmx64
solution=examples/solutions/tideloom_demo.json

echo "== What the host learns about the plug-in"
"$fmhost" --plugin "$plugin" --solution "$solution" --describe | head -c 600; echo " ..."
echo
echo "== Calculations in the example solution"
"$fmhost" --plugin "$plugin" --solution "$solution" \
  --eval 'TideLoom.Version' \
  --eval 'Get ( FileName ) & " as " & Get ( AccountName )' \
  --eval 'ExecuteSQL ( "SELECT FieldName FROM FileMaker_Fields WHERE TableName = '"'"'Invoices'"'"'" ; "" ; ", " )' \
  --eval 'TideLoom.Version ( 1 )'
