#!/usr/bin/env bash
# How ctest runs a Windows test program: under Wine, with one repeat for a
# launch that never reached the program. Every test program writes to
# standard output as soon as it starts, so a failure with nothing at all on
# standard output is Wine failing to start it, not the test failing: it is
# launched once more, and the repeat is noted in $POSTERN_WINE_RERUN_LOG for
# the run's summary. A program that printed anything and failed is never
# repeated, and a second silent failure fails.
set -u
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

wine "$@" >"$out" 2>"$err"
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
  exec wine "$@"
fi
cat "$out"
cat "$err" >&2
exit "$status"
