#!/usr/bin/env bash
# Renders the reading pane's pages for the sample messages in tests/ui/pages
# with headless Chromium and writes
# the HTML and a PNG of each under BUILD_DIR/artifacts/pages, for a person to
# look at: a plain-text message, an HTML newsletter with inline images, and a
# conversation three levels deep.
# Usage: tests/ui/page-screenshots.sh BUILD_DIR   (a native build with postern-cli)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: page-screenshots.sh BUILD_DIR}" && pwd)"
cli="$build/postern-cli"
[[ -x "$cli" ]] || { echo "page-screenshots: $cli not built" >&2; exit 1; }
browser="$(command -v chromium || command -v chromium-browser || true)"
[[ -n "$browser" ]] || { echo "page-screenshots: chromium not installed" >&2; exit 1; }

out="$build/artifacts/pages"
mkdir -p "$out"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT

# Scripts stay enabled: Chromium 156's --screenshot writes nothing when
# they are off (--blink-settings=scriptEnabled=false). The pages run none
# anyway, since their script tags are defused into text.
render() {
  local name="$1"; shift
  "$cli" page "$@" >"$out/$name.html"
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
    --hide-scrollbars --screenshot="$out/$name.png" \
    --window-size=1000,800 "file://$out/$name.html" >/dev/null 2>&1
  [[ -s "$out/$name.png" ]] || { echo "page-screenshots: no screenshot for $name" >&2; return 1; }
  echo "$out/$name.png"
}

render plain "$here/pages/plain.eml"
render newsletter "$here/pages/newsletter.eml"
render conversation "$here/pages/thread-1.eml" "$here/pages/thread-2.eml" "$here/pages/thread-3.eml" \
  "$here/pages/thread-4.eml"
