#!/usr/bin/env bash
# Builds TideLoom for Linux and shows the whole bridge at work: a local tideloom-relay queues one
# command of each type, the plug-in runs inside the FileMaker host stand-in, registers, fetches
# the commands and answers them, and the transcript shows what arrived.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

usage() {
  cat <<'EOF'
Usage: ./demo.sh [--keep] [--help]

Builds the plug-in, fmhost and tideloom-relay (build/linux), starts the relay on a free
loopback port with a fresh data folder, queues one command of each of the six types and runs
the plug-in in fmhost with examples/solutions/tideloom_demo.json until the bridge has fetched
them. Exits 0 only when all six completed.

  --keep   leave the relay running afterwards, to look at its web page; the demo prints its
           address, its process id and how to stop it
  --help   show this text
EOF
}

keep=no
for argument in "$@"; do
  case $argument in
    --keep) keep=yes ;;
    --help|-h) usage; exit 0 ;;
    *) echo "demo.sh: unknown option \"$argument\"" >&2; usage >&2; exit 2 ;;
  esac
done

if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
  bold=$'\e[1m'; red=$'\e[31m'; plain=$'\e[0m'
else
  bold=""; red=""; plain=""
fi
say() { printf '%s== %s%s\n' "$bold" "$*" "$plain"; }
fail() { printf '%sdemo.sh: %s%s\n' "$red" "$*" "$plain" >&2; exit 1; }

say "Installing what the build needs (only what is missing)"
scripts/install_packages.sh
command -v node >/dev/null || fail "Node.js is needed to drive the demo; install the nodejs package"

say "Building the plug-in, fmhost and tideloom-relay"
scripts/build.sh linux --target TideLoom fmhost tideloom-relay

bin=build/linux/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/tideloom-demo.XXXXXX")
relay_pid=""

cleanup() {
  if [ "$keep" = yes ] && [ -n "$relay_pid" ]; then
    # The relay keeps its data folder; only the plug-in's settings and scratch files go.
    rm -rf "$work/settings" "$work/tmp" "$work/demo.scenario"
    return
  fi
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# Interrupted: stop everything, even with --keep.
trap 'keep=no; exit 130' INT TERM

say "Starting tideloom-relay"
# A session of its own, so that Ctrl-C in this terminal later does not reach a kept relay.
launcher=()
command -v setsid >/dev/null && launcher=(setsid)
"${launcher[@]}" "$bin/tideloom-relay" --port 0 --data "$work/relay" >"$work/relay.log" 2>&1 &
relay_pid=$!
url=""
for _ in $(seq 100); do
  first=$(head -n 1 "$work/relay.log" 2>/dev/null || true)
  case $first in
    "tideloom-relay listening on "*) url=${first#tideloom-relay listening on }; break ;;
  esac
  kill -0 "$relay_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$url" ]; then
  cat "$work/relay.log" >&2 || true
  keep=no
  fail "tideloom-relay did not start"
fi
echo "relay at $url, data in $work/relay"
echo

status=0
node scripts/demo_driver.mjs --relay "$url" --fmhost "$bin/fmhost" \
  --plugin "$bin/TideLoom.fmx64" --solution examples/solutions/tideloom_demo.json \
  --work "$work" || status=$?
# The driver killed by a signal means the demo was interrupted: nothing stays up then.
[ "$status" -ge 128 ] && keep=no

if [ "$keep" = yes ]; then
  echo
  echo "The relay stays up at ${bold}$url/${plain} (pid $relay_pid, data in $work/relay)."
  echo "Stop it with: kill $relay_pid && rm -rf '$work'"
else
  echo "The relay stops now and its data folder goes;" \
    "./demo.sh --keep leaves both for the web page."
fi
exit "$status"
