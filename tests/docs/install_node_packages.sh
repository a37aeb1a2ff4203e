#!/usr/bin/env bash
# Installs a test's npm packages exactly as its package-lock.json pins them: by default the
# documentation test's, into build/npm/docs/node_modules. Each test has a folder of its own: npm
# removes whatever its package.json does not list, so a shared node_modules would lose packages.
# Does nothing when that lock is installed already.
# Usage: install_node_packages.sh [SOURCE_FOLDER DESTINATION PACKAGE_THAT_SHOWS_THE_INSTALL]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=${1:-$here}
dest=${2:-${TIDELOOM_DOCS_NODE_DIR:-$here/../../build/npm/docs}}
marker=${3:-@seriousme/openapi-schema-validator}

if cmp -s "$source/package-lock.json" "$dest/package-lock.json" &&
   [ -f "$dest/node_modules/$marker/package.json" ]; then
  exit 0
fi
mkdir -p "$dest"
cp "$source/package.json" "$source/package-lock.json" "$dest/"
(cd "$dest" && npm ci --no-audit --no-fund --loglevel=error)
