#!/usr/bin/env bash
# Records the rich edit control's RTF output into tests/compose/rtf-fixtures
# by running rtf-capture.exe under Wine on a private X display (the control
# needs a window station even though it is never shown).
# Usage: tools/rtf-capture/capture.sh BUILD_DIR [DISPLAY_NUMBER]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:?usage: capture.sh BUILD_DIR [DISPLAY_NUMBER]}"
display="${2:-62}"
source "$repo/scripts/wine-env"
exe="$build/tools/rtf-capture/rtf-capture.exe"
[[ -f "$exe" ]] || { echo "capture.sh: $exe not built" >&2; exit 1; }

Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [[ -e "/tmp/.X11-unix/X$display" ]] && break
  sleep 0.1
done
out="$repo/tests/compose/rtf-fixtures"
mkdir -p "$out"
DISPLAY=":$display" wine "$exe" "Z:${out//\//\\}"
ls -l "$out"
