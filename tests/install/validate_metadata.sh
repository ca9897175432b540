#!/usr/bin/env bash
# validate_metadata.sh <desktop entry> <build tree>
# The desktop entry and the AppStream metadata as the desktop's own tools read them.
set -euo pipefail
metainfo=("$2"/packaging/*.metainfo.xml)
set -- "$1" "${metainfo[0]}"
desktop-file-validate "$1"
appstreamcli validate --no-net --explain "$2"
grep -qx 'Categories=Game;' "$1"
grep -q '<image type="source"[^>]*>https://.*/screenshot.png</image>' "$2"
echo "1 passed, 0 failed"
