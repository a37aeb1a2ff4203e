#!/usr/bin/env bash
# Debian ships no SQLite for mingw. SQLite's own amalgamation travels inside npm's
# better-sqlite3 package; take it from a pinned version, once.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=12.9.0
dest=$root/build/deps/sqlite3
[ -f "$dest/sqlite3.c" ] && [ "$(cat "$dest/VERSION" 2>/dev/null)" = "$version" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "better-sqlite3@$version" >/dev/null)
tar -xzf "$work/better-sqlite3-$version.tgz" -C "$work" package/deps/sqlite3
mkdir -p "$dest"
cp "$work"/package/deps/sqlite3/sqlite3.[ch] "$dest/"
echo "$version" > "$dest/VERSION"
