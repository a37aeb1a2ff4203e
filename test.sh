#!/usr/bin/env bash
# Builds TideLoom for Linux and for Windows and runs every test: the Linux tests natively, the
# Windows tests under Wine in a fresh prefix. Installs what it needs first (Debian or Ubuntu).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scripts/install_packages.sh
scripts/check_format.sh
scripts/build.sh all
tests/docs/install_node_packages.sh
tests/relay_browser/install_browser_test.sh

# A fresh Wine prefix for every run, so no clipboard or AppData of an earlier run leaks in.
export WINEPREFIX=$root/build/windows/wineprefix
rm -rf "$WINEPREFIX"
scripts/wine_run.sh wineboot --init >/dev/null 2>&1 || true
stop_wine() { WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

status=0
echo "== Linux tests"
ctest --test-dir build/linux --output-on-failure -j 2 || status=1
echo "== Windows tests (Wine)"
ctest --test-dir build/windows --output-on-failure -j 2 || status=1
echo "== Sanitizers and fuzzing (clang)"
scripts/sanitize.sh || status=1
exit $status
