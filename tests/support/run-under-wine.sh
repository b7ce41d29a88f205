#!/usr/bin/env bash
# How ctest runs a Windows test program: under Wine with address-space
# randomisation off, and one repeat for a launch that never reached the
# program.
#
# Debian's wine64 has no preloader: the loader sits at a fixed address and the
# kernel puts its heap at a random place above it, which about once in 1,600
# launches covers 0x7ffe0000, where Windows keeps the shared user data. Wine
# then ends with status 1 before the program starts ("failed to map the shared
# user data: c0000018"). Without randomisation the heap starts right after the
# loader, far below that address.
#
# Every test program writes to standard output as soon as it starts, so a
# failure with nothing at all on standard output is Wine failing to start it,
# not the test failing: it is launched once more, and the repeat is noted in
# $POSTERN_WINE_RERUN_LOG for the run's summary. A program that printed
# anything and failed is never repeated, and a second silent failure fails.
set -u
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

wine=(setarch "$(uname -m)" -R wine)
"${wine[@]}" "$@" >"$out" 2>"$err"
status=$?
if ((status != 0)) && [[ ! -s $out ]]; then
  if [[ -n ${POSTERN_WINE_RERUN_LOG:-} ]]; then
    {
      printf '%s exit %d:' "$(date +%T.%N)" "$status"
      printf ' %q' "$@"
      printf '\n'
      sed -e 's/^/    /' "$err" | head -20
    } >>"$POSTERN_WINE_RERUN_LOG"
  fi
  echo "run-under-wine: the first launch failed (exit $status) before the program printed anything; launching again" >&2
  cat "$err" >&2
  exec "${wine[@]}" "$@"
fi
cat "$out"
cat "$err" >&2
exit "$status"
