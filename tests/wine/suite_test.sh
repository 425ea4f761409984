#!/usr/bin/env bash
# The Wine suite's own decisions, tested without Wine and cheaply (the builds
# are up to date when scripts/test calls it):
# - a machine that cannot run 32-bit programs, played by 32-bit Wine loaders
#   that cannot start: what the probe answers for each, then scripts/test-windows
#   and scripts/compare-platforms with one of them. The 32-bit Wine run must be
#   skipped on one line that says why, the 32-bit files still checked, and the
#   run still green;
# - the golden CLI tests when Wine fails to start a run: run once more, and
#   failed only when they fail again; a failure that is not Wine's fails at once.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=lib.sh
. "$ROOT/tests/wine/lib.sh"
# shellcheck source=cli_tests.sh
. "$ROOT/tests/wine/cli_tests.sh"

WORK=$(mktemp -d /tmp/quarnel-suite-test.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# The real loader cut to its ELF header: an i386 program that the kernel
# refuses with "Exec format error", as a kernel without IA-32 emulation
# refuses the whole loader.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0' >"$WORK/i386-refused"
# An ELF for another machine (aarch64), refused alike.
printf '\177ELF\2\1\1\0\0\0\0\0\0\0\0\0\2\0\267\0' >"$WORK/foreign"
printf '#!/bin/sh\necho "wine: could not load ntdll.so" >&2\nexit 1\n' >"$WORK/failing"
printf '#!/bin/sh\necho wine-8.0\n' >"$WORK/starting"
chmod +x "$WORK/i386-refused" "$WORK/foreign" "$WORK/failing" "$WORK/starting"
: >"$WORK/not-executable"

echo "the 32-bit probe"
# loader | starts? | the reason it gives when it does not
while IFS='|' read -r name starts reason; do
  if can_run_32bit "$WORK/$name"; then said=yes; else said=no; fi
  expect_eq "probe of $name: starts" "$said" "$starts"
  expect_eq "probe of $name: reason" "$NO_32BIT_REASON" "${reason//@/$WORK/$name}"
done <<'TABLE'
i386-refused|no|the kernel's IA-32 emulation is off: it refuses to start @, an i386 program, with "Exec format error"
foreign|no|@ --version ended with 126: cannot execute binary file: Exec format error
failing|no|@ --version ended with 1: wine: could not load ntdll.so
not-executable|no|@ --version ended with 126: Permission denied
missing|no|there is no 32-bit Wine loader at @
starting|yes|
TABLE

echo "scripts/test-windows x86 with a loader that cannot start"
skip_line="under Wine, x86: skipped: this machine cannot run 32-bit programs (the kernel's \
IA-32 emulation is off: it refuses to start $WORK/i386-refused, an i386 program, with \
\"Exec format error\")"
QUARNEL_WINE32="$WORK/i386-refused" QUARNEL_WINE_ARTIFACTS="$WORK/artifacts" \
  "$ROOT/scripts/test-windows" x86 >"$WORK/windows.log" 2>&1
expect_eq "it ends with 0" "$?" 0
expect_eq "it says so once, on one line" "$(grep -cxF "$skip_line" "$WORK/windows.log")" 1
check "its summary counts the run as skipped, nothing failed" \
  grep -qE '^windows tests: ([0-9]+) run, \1 passed, 0 failed, [1-9][0-9]* skipped$' "$WORK/windows.log"
check "the 32-bit files are still checked" grep -qF 'ok    x86 tool/quarnel.exe is PE32 for i386' \
  "$WORK/windows.log"
check "no 32-bit check ran under Wine" bash -c "! grep -qF '[x86]' '$WORK/windows.log'"

echo "scripts/compare-platforms with a loader that cannot start"
QUARNEL_WINE32="$WORK/foreign" "$ROOT/scripts/compare-platforms" --builds native,x86 \
  >"$WORK/compare.log" 2>&1
expect_eq "it ends with 0" "$?" 0
check "it leaves x86 out and says why" grep -qxF "x86 left out: this machine cannot run 32-bit \
programs ($WORK/foreign --version ended with 126: cannot execute binary file: Exec format error)" \
  "$WORK/compare.log"

if [ "$tests_failed" -gt 0 ]; then
  sed 's/^/    /' "$WORK/windows.log" "$WORK/compare.log"
fi

# A stand-in for Wine that runs the native tool itself and, as FAKE_WINE says,
# fails -S runs as Wine fails to start a program (its error, then 1), or as a
# program that ends with 1 on its own (nothing said).
cat >"$WORK/fake-wine" <<'FAKE'
#!/bin/sh
case " $* " in *" -S "*) ;; *) exec "$@" ;; esac
case $FAKE_WINE in
  never) exec "$@" ;;
  once-wine | once-silent) mkdir "$FAKE_MARK" 2>/dev/null || exec "$@" ;;
esac
case $FAKE_WINE in *silent) ;; *)
  echo "err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018" >&2 ;;
esac
exit 1
FAKE
chmod +x "$WORK/fake-wine"
mkdir -p "$WORK/build/tool" "$WORK/cli"
ln -s "$ROOT/build/dev/tool/quarnel" "$WORK/build/tool/quarnel.exe"
CLI_TESTS="${QUARNEL_CLI_TESTS:-$ROOT/build/dev/tests/cli/quarnel_cli_tests}"
BUILD_DIR="$WORK/build" WINE="$WORK/fake-wine" ARTIFACTS="$WORK/cli"
# The two golden rows of -S: each is one run of the tool.
export GTEST_FILTER='Table/CommandLines.*_S_*'

both_outcomes() {
  grep -q '^    first run: exit status 1, failed: Table/CommandLines\.' "$1" &&
    grep -q '^    second run of those: ' "$1"
}

echo "golden CLI tests when Wine fails to start a run"
# what the stand-in does | the check's outcome | a second run | Wine's runs counted
while IFS='|' read -r mode outcome again said; do
  rm -rf "$WORK/mark" "$WORK/cli"/*
  export FAKE_WINE=$mode FAKE_MARK="$WORK/mark"
  # In a subshell: its pass or fail is the outcome under test, not one of ours.
  (SUITE_BUILD=fake; run_cli_tests; echo "Wine's runs: $WINE_COMPLAINTS") >"$WORK/cli.log"
  got=passed
  grep -q '^  FAIL ' "$WORK/cli.log" && got=failed
  expect_eq "$mode: the check $outcome" "$got" "$outcome"
  expect_eq "$mode: a second run" "$([ -f "$WORK/cli/fake-cli-tests-again.log" ] && echo yes || echo no)" "$again"
  expect_eq "$mode: Wine's runs counted" "$(sed -n "s/^Wine's runs: //p" "$WORK/cli.log")" "$said"
  if [ "$again" = yes ]; then
    check "$mode: both outcomes shown" both_outcomes "$WORK/cli.log"
  fi
  [ "$got" = "$outcome" ] || sed 's/^/    /' "$WORK/cli.log"
done <<'TABLE'
never|passed|no|0
once-wine|passed|yes|1
always-wine|failed|yes|4
once-silent|failed|no|0
TABLE
unset GTEST_FILTER FAKE_WINE FAKE_MARK

echo "suite_test: $tests_passed passed, $tests_failed failed"
[ "$tests_failed" -eq 0 ]
