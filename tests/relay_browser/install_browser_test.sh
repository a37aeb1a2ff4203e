#!/usr/bin/env bash
# Installs what the relay page's browser test needs: Debian's Chromium, and the npm packages
# exactly as package-lock.json pins them into build/npm/relay_browser. No browser is downloaded by
# npm: the test drives /usr/bin/chromium. Does nothing when both are in place already.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if ! [ -x /usr/bin/chromium ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium
fi
exec "$here/../docs/install_node_packages.sh" "$here" \
  "${TIDELOOM_BROWSER_NODE_DIR:-$here/../../build/npm/relay_browser}" playwright-core
