# shellcheck shell=bash
# The tool's golden CLI tests against quarnel.exe under Wine. Sourced by
# scripts/test-windows after lib.sh; needs ROOT, ARTIFACTS, CLI_TESTS (the
# native golden test program), BUILD_DIR (the build under test), WINE and
# SUITE_BUILD.

# cli_tests LOG NOTES [FILTER]: the golden CLI tests against quarnel.exe, Wine's
# failures to start it noted in NOTES; prints the count line, leaves the exit
# status in CLI_RC and the names of the failed tests in CLI_FAILED.
cli_tests() {
  : >"$2"
  # No display: the no-argument notice must not wait for a click here.
  env -u DISPLAY QUARNEL_EXE="$BUILD_DIR/tool/quarnel.exe" \
    QUARNEL_RUNNER="$ROOT/tests/wine/cli_runner.sh $WINE" QUARNEL_WINE_NOTES="$2" \
    timeout 900 "$CLI_TESTS" ${3:+--gtest_filter="$3"} >"$1" 2>&1
  CLI_RC=$?
  local ran passed
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from.*ran.*/\1/p' "$1" | tail -n 1)
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$1" | tail -n 1)
  [ -n "$ran" ] || [ "$CLI_RC" -ne 0 ] || CLI_RC=1
  echo "    golden CLI tests${3:+, once more}: ${ran:-0} ran, ${passed:-0} passed (log: $1)"
  grep -E '^\[  (FAILED|SKIPPED) \] [A-Za-z]' "$1" | sort -u | sed 's/^/    /'
  CLI_FAILED=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/]*\.[A-Za-z0-9_/]*\).*/\1/p' "$1" | sort -u |
    paste -sd:)
  CLI_RAN=${ran:-0}
  CLI_PASSED=${passed:-0}
}

# wine_failed NOTES: the runs in which Wine itself said an error, shown and
# counted in WINE_COMPLAINTS.
wine_failed() {
  local runs
  runs=$(grep -c '^ended with' "$1")
  [ "$runs" -gt 0 ] || return 0
  WINE_COMPLAINTS=$((WINE_COMPLAINTS + runs))
  echo "    Wine's own errors in $runs runs (not the program under test's):"
  sed 's/^/      /' "$1"
}

# A failure while Wine itself could not start a run (a run that ended with 1
# after Wine's own error; tests/wine/cli_runner.sh notes those) is Wine's, not
# the tool's: the failed tests run once more, both outcomes are shown, and the
# check fails only when they fail again. A failure without such a note fails
# at once.
run_cli_tests() {
  echo "quarnel.exe: golden CLI tests under Wine"
  if [ ! -x "$CLI_TESTS" ]; then
    skip "golden CLI tests under Wine" "$CLI_TESTS not built (run the native tests first)"
    return 0
  fi
  local log="$ARTIFACTS/$SUITE_BUILD-cli-tests.log" notes="$ARTIFACTS/$SUITE_BUILD-cli-tests-wine.log"
  cli_tests "$log" "$notes"
  local ran=$CLI_RAN passed=$CLI_PASSED
  wine_failed "$notes"
  if [ "$CLI_RC" -eq 0 ]; then
    pass "golden CLI tests under Wine ($passed of $ran passed, rest skipped)"
  elif grep -q '^ended with 1:' "$notes" && [ -n "$CLI_FAILED" ]; then
    local first="exit status $CLI_RC, failed: ${CLI_FAILED//:/ }"
    echo "    first run: $first"
    cli_tests "${log%.log}-again.log" "${notes%.log}-again.log" "$CLI_FAILED"
    wine_failed "${notes%.log}-again.log"
    echo "    second run of those: $([ "$CLI_RC" -eq 0 ] && echo passed || echo "exit status $CLI_RC")"
    if [ "$CLI_RC" -eq 0 ]; then
      pass "golden CLI tests under Wine ($((passed + CLI_PASSED)) of $ran passed, rest skipped; \
$CLI_PASSED only at the second run, after Wine failed to start a run)"
    else
      fail "golden CLI tests under Wine" "failed twice: $first; again: exit status $CLI_RC, \
see $log and ${log%.log}-again.log"
    fi
  else
    fail "golden CLI tests under Wine" "exit status $CLI_RC, see $log"
  fi
}
