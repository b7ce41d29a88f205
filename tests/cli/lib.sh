# Helpers for the black-box tests of postern-cli. Each test script gets the
# runner ("native" or "wine") and the path of postern-cli as arguments.
runner="$1"
cli="$2"
failures=0

# Without the test servers: skipped on a developer's quick run, failed when
# the test command started them (POSTERN_FIXTURE_REQUIRED=1).
require_fixture() {
  if [[ -z "${POSTERN_FIXTURE_DIR:-}" || ! -f "$POSTERN_FIXTURE_DIR/env" ]]; then
    if [[ "${POSTERN_FIXTURE_REQUIRED:-}" == 1 ]]; then
      echo "FAIL: the test command started the test servers, but their settings are missing"
      exit 1
    fi
    echo "skipped: the test servers are not running"
    exit 0
  fi
}

# A Linux path as the CLI must see it: under Wine, on drive Z:.
host_path() {
  if [[ "$runner" == wine ]]; then
    echo "Z:${1//\//\\}"
  else
    echo "$1"
  fi
}

run_cli() {
  if [[ "$runner" == wine ]]; then
    wine "$cli" "$@"
  else
    "$cli" "$@"
  fi
}

# expect_success NAME REGEX ARGS...: exit 0 and stdout matching REGEX.
expect_success() {
  local name="$1" pattern="$2"; shift 2
  local out status
  out="$(run_cli "$@" 2>/tmp/postern-cli-err.$$)"; status=$?
  # Windows text mode ends lines with CR LF; patterns ending in $ mean the line.
  out="${out//$'\r'/}"
  if [[ $status -ne 0 ]] || ! grep -Eq "$pattern" <<<"$out"; then
    echo "FAIL $name: status $status, stdout: $out, stderr: $(cat /tmp/postern-cli-err.$$)"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
  rm -f /tmp/postern-cli-err.$$
}

# expect_failure NAME REGEX ARGS...: exit 1 and stderr matching REGEX.
expect_failure() {
  local name="$1" pattern="$2"; shift 2
  local err status
  err="$(run_cli "$@" 2>&1 >/dev/null)"; status=$?
  err="${err//$'\r'/}"
  if [[ $status -ne 1 ]] || ! grep -Eq "$pattern" <<<"$err"; then
    echo "FAIL $name: status $status, stderr: $err"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

finish() {
  [[ $failures -eq 0 ]]
  exit $?
}
