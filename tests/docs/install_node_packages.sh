#!/usr/bin/env bash
# Installs the npm packages of the documentation test, exactly as package-lock.json pins them,
# into build/npm/docs/node_modules. A folder of their own: npm removes whatever its package.json
# does not list, so sharing node_modules with another package.json would lose them.
# Does nothing when that lock is installed already.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
dest=${TIDELOOM_DOCS_NODE_DIR:-$root/build/npm/docs}

if cmp -s "$here/package-lock.json" "$dest/package-lock.json" &&
   [ -f "$dest/node_modules/@seriousme/openapi-schema-validator/package.json" ]; then
  exit 0
fi
mkdir -p "$dest"
cp "$here/package.json" "$here/package-lock.json" "$dest/"
(cd "$dest" && npm ci --no-audit --no-fund --loglevel=error)
