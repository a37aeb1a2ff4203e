#!/usr/bin/env bash
# Installs what the relay page's browser test needs: Debian's Chromium, and the npm packages
# exactly as package-lock.json pins them into build/npm/relay_browser (a folder of its own: npm
# removes whatever its package.json does not list). No browser is downloaded by npm: the test
# drives /usr/bin/chromium. Does nothing when both are in place already.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
dest=${TIDELOOM_BROWSER_NODE_DIR:-$root/build/npm/relay_browser}

if ! [ -x /usr/bin/chromium ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium
fi

if cmp -s "$here/package-lock.json" "$dest/package-lock.json" &&
   [ -f "$dest/node_modules/playwright-core/package.json" ]; then
  exit 0
fi
mkdir -p "$dest"
cp "$here/package.json" "$here/package-lock.json" "$dest/"
(cd "$dest" && npm ci --no-audit --no-fund --loglevel=error)
