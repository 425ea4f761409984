# Helpers of the Wine tests, sourced by scripts/test-windows: a private X
# display and Wine prefix, windows found by title and driven by control id,
# and the pass/fail bookkeeping. SUITE_BUILD, when set, names the build under
# test (x64, x86) in every check's line and screenshot.

# One 64-bit prefix runs both builds. scripts/test-windows points WINE at the
# 32-bit loader (package wine32:i386) for the 32-bit build: the 64-bit one would
# run such a program as a child of its own start.exe, so that a signal and the
# run's end would reach that wrapper rather than the program under test.
WINE64=/usr/lib/wine/wine64
# QUARNEL_WINE32 names another 32-bit loader: the tests hand in one that cannot
# start, to play a machine that cannot run 32-bit programs.
WINE32=${QUARNEL_WINE32:-/usr/lib/wine/wine}
WINE=$WINE64
WINESERVER=/usr/lib/wine/wineserver

# can_run_32bit LOADER: whether this machine runs 32-bit programs, asked of
# the kernel itself by starting the 32-bit Wine loader, which is one. A kernel
# whose IA-32 emulation is switched off refuses it with "Exec format error",
# although the package is installed. When it does not start, NO_32BIT_REASON
# says why, in words for the run's log.
NO_32BIT_REASON=
can_run_32bit() {
  local loader=$1 said rc
  NO_32BIT_REASON=
  if [ ! -e "$loader" ]; then
    NO_32BIT_REASON="there is no 32-bit Wine loader at $loader"
    return 1
  fi
  # Started by bash, not by timeout itself: its exec hands a file the kernel
  # refuses to sh as a script, whose syntax error would hide the refusal.
  said=$(timeout 60 bash -c '"$0" --version' "$loader" 2>&1 </dev/null)
  rc=$?
  [ "$rc" -eq 0 ] && return 0
  said=$(printf '%s\n' "$said" | tr -d '\r' | grep -v '^[[:space:]]*$' | tail -n 1)
  said=${said##*"$loader": }
  if [ "$rc" -eq 124 ]; then
    NO_32BIT_REASON="$loader --version did not end within 60 s"
  elif [[ $said == *"Exec format error"* ]] && is_i386_elf "$loader" && [ "$(uname -m)" = x86_64 ]; then
    NO_32BIT_REASON="the kernel's IA-32 emulation is off: it refuses to start $loader, an i386 program, with \"Exec format error\""
  else
    NO_32BIT_REASON="$loader --version ended with $rc${said:+: $said}"
  fi
  return 1
}

# is_i386_elf FILE: a 32-bit ELF for the i386 (class 1 at byte 4, machine 3 at
# bytes 18 and 19).
is_i386_elf() {
  local head
  head=$(od -An -tx1 -N20 "$1" 2>/dev/null | tr -d ' \n')
  [ "${head:0:10}" = 7f454c4601 ] && [ "${head:36:4}" = 0300 ]
}

tests_run=0
tests_passed=0
tests_failed=0
tests_skipped=0
failed_names=()

# The check's name with the build under test in front.
named() { echo "${SUITE_BUILD:+[$SUITE_BUILD] }$1"; }

pass() {
  tests_run=$((tests_run + 1))
  tests_passed=$((tests_passed + 1))
  echo "  ok    $(named "$1")"
}

fail() {
  tests_run=$((tests_run + 1))
  tests_failed=$((tests_failed + 1))
  failed_names+=("$(named "$1")")
  echo "  FAIL  $(named "$1")${2:+ -- $2}"
}

skip() {
  tests_skipped=$((tests_skipped + 1))
  echo "  skip  $(named "$1") -- $2"
}

# expect_eq NAME ACTUAL EXPECTED
expect_eq() {
  if [ "$2" = "$3" ]; then
    pass "$1"
  else
    fail "$1" "got [$2], want [$3]"
  fi
}

# check NAME COMMAND...: passes when the command succeeds.
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

# A window's contents change after it appears (a box fills in its text while
# it is set up, a picker's choice lands in the dialog after the picker has
# gone), so every check of what a window shows polls until it holds, within
# POLL_SECONDS (30 by default).

# expect_soon NAME EXPECTED COMMAND...: passes once COMMAND prints EXPECTED.
expect_soon() {
  local name=$1 expected=$2
  shift 2
  local deadline=$((SECONDS + ${POLL_SECONDS:-30})) actual
  while :; do
    actual=$("$@" 2>/dev/null)
    if [ "$actual" = "$expected" ]; then
      pass "$name"
      return 0
    fi
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.2
  done
  fail "$name" "got [$actual], want [$expected]"
  return 1
}

# check_soon NAME COMMAND...: passes once the command succeeds.
check_soon() {
  local name=$1
  shift
  if wait_for "${POLL_SECONDS:-30}" "$@"; then pass "$name"; else fail "$name"; fi
}

# wait_for SECONDS COMMAND...: true as soon as the command succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  while :; do
    "$@" && return 0
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# wine_said WHAT FILE: Wine's own complaints in a run's standard error (a page
# fault inside one of its DLLs, a program it could not start, which ends with
# status 1 like the tool's "not enough memory for the work buffers") are Wine's, not
# the program's: shown under the check and counted in WINE_COMPLAINTS. Its
# errors about the address space are on (WINEDEBUG below): a start that fails
# because the page Wine maps at a fixed address is taken says nothing otherwise.
WINE_COMPLAINTS=0
wine_said() {
  local lines
  lines=$(tr -d '\r' <"$2" 2>/dev/null | grep -E '^(wine:|([0-9a-f]{4}:)?err:)' | head -n 3)
  [ -n "$lines" ] || return 0
  WINE_COMPLAINTS=$((WINE_COMPLAINTS + 1))
  echo "    Wine itself said during the $1 (not the program under test):"
  echo "$lines" | sed 's/^/      /'
}

# ---- session: X display and Wine prefix of this run only ----

# xvfb_up N: true once our Xvfb serves display N; false when it has ended
# (another run took that display first).
xvfb_up() {
  local i
  for i in $(seq 1 100); do
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    [ -e "/tmp/.X11-unix/X$1" ] && DISPLAY=":$1" xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

wine_session_start() {
  local n
  # Several test runs may share the machine: a display that looks free can be
  # taken a moment later, so a start that fails moves on to the next number.
  for n in $(seq "${QUARNEL_FIRST_DISPLAY:-91}" 140); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    xvfb_up "$n" && break
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
  done
  export DISPLAY=":$n"
  SESSION_DIR=$(mktemp -d /tmp/quarnel-wine.XXXXXX)
  export WINEPREFIX="$SESSION_DIR/prefix"
  export WINEDEBUG=-all,err+virtual
  # No Mono or Gecko: their installers would ask questions nobody answers.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  "$WINE64" wineboot -i >/dev/null 2>&1
  # Unmanaged windows: Wine draws the captions itself, so the screenshots show
  # them although no window manager runs on this display.
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  DRIVE_C="$WINEPREFIX/drive_c"
}

wine_session_end() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  if [ -n "${SESSION_DIR:-}" ]; then
    rm -rf "$SESSION_DIR"
    SESSION_DIR=
  fi
}

# ---- windows ----

# probe ARGS...: runs the window probe; its output without carriage returns.
probe() {
  "$WINE" "$PROBE_EXE" "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

has_window() { probe has "$1" >/dev/null; }

# wait_window TITLE [SECONDS]
wait_window() {
  local deadline=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    has_window "$1" && return 0
    sleep 0.3
  done
  return 1
}

# wait_no_window TITLE [SECONDS]
wait_no_window() {
  local deadline=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    has_window "$1" || return 0
    sleep 0.3
  done
  return 1
}

# control_text TITLE ID
control_text() { probe text "$1" "$2"; }

# click TITLE ID: a real mouse click in the middle of the control.
click() {
  local rect
  rect=$(probe rect "$1" "$2") || return 1
  # shellcheck disable=SC2086
  set -- $rect
  xdotool mousemove --sync $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
}

# type_into TITLE ID TEXT: replaces the text of an edit control by typing.
type_into() {
  click "$1" "$2" || return 1
  xdotool key End shift+Home
  xdotool type --delay 25 "$3"
}

# shot NAME: screenshot of the whole display into the artifacts folder, named
# after the build under test (x64-01-dialog.png beside x86-01-dialog.png).
shot() { import -window root "$ARTIFACTS/${SUITE_BUILD:+$SUITE_BUILD-}$1.png" 2>/dev/null || true; }

# wait_pid PID [SECONDS]: true when the process has ended in time.
wait_pid() {
  local deadline=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.3
  done
  return 1
}

# same_except_stamp A B: equal files apart from bytes 128..143 (file id,
# creation date and time of a written file).
same_except_stamp() {
  [ -f "$1" ] && [ -f "$2" ] || return 1
  [ "$(stat -c %s "$1")" = "$(stat -c %s "$2")" ] || return 1
  # cmp -l counts bytes from 1.
  { cmp -l "$1" "$2" || true; } | awk '$1 < 129 || $1 > 144 { bad++ } END { exit bad > 0 }'
}
