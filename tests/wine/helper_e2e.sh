# End-to-end runs of QuarnelHelper.exe under Wine, driven through its real
# windows with xdotool. Sourced by scripts/test-windows after lib.sh; needs
# BUILD_X64, ARTIFACTS, PROBE_EXE, a running wine session, and optionally
# NATIVE_QUARNEL and SAMPLES for the comparison of the written file.

HELPER_TITLE="QuarnelHelper V1.5"
BOX_TITLE="QuarnelHelper"  # message boxes carry the program file's name
BOX_TEXT_ID=65535          # the text control of a message box

CONFIRM_TEXT=" Did you select the right files ?"
CLASH_TEXT=" Target and/or source must have different names !!!"
SUCCESS_TEXT="End of process ! Status : Sucess ! "
NOT_FOUND_TEXT="End of process ! Status : Quarnel not found ! "
# The box shows the 0xB4 of the program's text as the acute accent U+00B4.
CANNOT_WRITE_TEXT=$'End of process ! Status : Can\xc2\xb4t open output file ! '

# start_helper UNIX_DIR: starts the dialog with that folder as its current one.
start_helper() {
  (cd "$1" && exec "$WINE" QuarnelHelper.exe) >/dev/null 2>&1 &
  HELPER_PID=$!
}

# pick BUTTON_ID WINDOWS_PATH: opens a picker and chooses the file by typing
# its path into the file-name box of the real open-file dialog.
pick() {
  click "$HELPER_TITLE" "$1" || return 1
  wait_window Open 20 || return 1
  [ -n "${2:-}" ] || return 0
  type_into Open 1148 "$2" || return 1
  xdotool key Return
  wait_no_window Open 20
}

box_text() { control_text "$BOX_TITLE" "$BOX_TEXT_ID"; }

# press_start: "Start Process", then waits for the confirmation box.
press_start() {
  click "$HELPER_TITLE" 1 || return 1
  wait_window "$BOX_TITLE" 20
}

# answer_box ID: presses OK (1) or Cancel (2) in the box that is open, and
# waits until that box has gone; the next box may follow at once under the
# same title, so it is told apart by its text.
answer_box() {
  local text
  text=$(box_text) || return 1
  click "$BOX_TITLE" "$1" || return 1
  local deadline=$((SECONDS + 20))
  while [ "$SECONDS" -lt "$deadline" ]; do
    has_window "$BOX_TITLE" || return 0
    [ "$(box_text)" = "$text" ] || return 0
    sleep 0.3
  done
  return 1
}

# Lays out the Windows side: the two programs in a folder with a blank in its
# name, the input files in two other folders, a folder for the output.
prepare_drive() {
  TOOL_DIR="$DRIVE_C/Quarnel Tools"
  mkdir -p "$TOOL_DIR" "$DRIVE_C/scenery/mine" "$DRIVE_C/afd" "$DRIVE_C/out" "$DRIVE_C/lonely"
  cp "$BUILD_X64/frontend/QuarnelHelper.exe" "$BUILD_X64/tool/quarnel.exe" "$TOOL_DIR/"
  cp "$BUILD_X64/frontend/QuarnelHelper.exe" "$DRIVE_C/lonely/"
  cp "$SAMPLES/source.bgl" "$DRIVE_C/scenery/mine/source.bgl"
  cp "$SAMPLES/base.bgl" "$DRIVE_C/afd/base.bgl"
  echo "any file shows the picker its folder" >"$DRIVE_C/out/pick-me.txt"
}

settings_value() {
  local ini
  ini=$(find "$DRIVE_C/windows" -maxdepth 1 -iname mvt.ini | head -n 1)
  [ -n "$ini" ] || return 1
  tr -d '\r' <"$ini" | sed -n "s/^$1=//p"
}

# The first run: pick all three, cancel once, then link for real.
helper_first_run() {
  echo "QuarnelHelper: first start, pickers, confirmation, link"
  start_helper "$TOOL_DIR"
  if ! wait_window "$HELPER_TITLE" 40; then
    fail "dialog \"$HELPER_TITLE\" appears"
    shot fail-first-start
    return 1
  fi
  pass "dialog \"$HELPER_TITLE\" appears"
  sleep 0.5
  shot 01-dialog
  expect_eq "no settings: source box empty" "$(control_text "$HELPER_TITLE" 1697)" ""
  expect_eq "no settings: basic box empty" "$(control_text "$HELPER_TITLE" 1699)" ""
  expect_eq "output name starts as NEWAFD.BGL" "$(control_text "$HELPER_TITLE" 1703)" "NEWAFD.BGL"
  check "live dialog has the template's controls in order" helper_controls_match

  pick 1698 'C:\scenery\mine\source.bgl' || fail "source picker" "no open-file dialog"
  shot 02-after-source-pick
  expect_eq "source box shows the picked path in upper case" \
    "$(control_text "$HELPER_TITLE" 1697)" 'C:\SCENERY\MINE\SOURCE.BGL'

  type_into "$HELPER_TITLE" 1703 "linked.bgl"
  pick 1700 'C:\afd\base.bgl' || fail "basic picker" "no open-file dialog"
  expect_eq "basic box shows the picked path in upper case" \
    "$(control_text "$HELPER_TITLE" 1699)" 'C:\AFD\BASE.BGL'

  click "$HELPER_TITLE" 1701 && wait_window Open 20
  shot 03-open-dialog
  type_into Open 1148 'C:\out\pick-me.txt' && xdotool key Return
  wait_no_window Open 20 || fail "output picker closes"
  expect_eq "output picker keeps only the folder" "$(control_text "$HELPER_TITLE" 1702)" 'C:\OUT'
  expect_eq "typed name survives the pickers" "$(control_text "$HELPER_TITLE" 1703)" "linked.bgl"

  expect_eq "MVT.INI SOURCEDIR" "$(settings_value SOURCEDIR)" 'C:\SCENERY\MINE'
  expect_eq "MVT.INI TARGETDIR" "$(settings_value TARGETDIR)" 'C:\AFD'
  expect_eq "MVT.INI OPATH" "$(settings_value OPATH)" 'C:\OUT'

  if press_start; then
    shot 04-confirmation
    expect_eq "confirmation text" "$(box_text)" "$CONFIRM_TEXT"
    answer_box 2
    expect_eq "cancelled confirmation upper-cases the name" \
      "$(control_text "$HELPER_TITLE" 1703)" "LINKED.BGL"
    check "cancelled confirmation keeps the dialog open" has_window "$HELPER_TITLE"
    check "cancelled confirmation runs nothing" test ! -e "$DRIVE_C/out/LINKED.BGL"
  else
    fail "confirmation box appears"
  fi

  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 60; then
    sleep 0.3
    shot 05-status-success
    expect_eq "status box after the link" "$(box_text)" "$SUCCESS_TEXT"
    answer_box 1
  else
    fail "status box appears after the link"
    shot fail-status
  fi
  check "program ends after the status box" wait_pid "$HELPER_PID" 20
  check "linked file written to C:\\OUT\\LINKED.BGL" test -f "$DRIVE_C/out/LINKED.BGL"
  if [ -n "${NATIVE_QUARNEL:-}" ]; then
    local ref_dir
    ref_dir=$(mktemp -d)
    (cd "$ref_dir" && "$NATIVE_QUARNEL" -r "$SAMPLES/base.bgl" "$SAMPLES/source.bgl" ref.bgl \
      >/dev/null 2>&1)
    check "written file equals the native tool's apart from id, date and time" \
      same_except_stamp "$DRIVE_C/out/LINKED.BGL" "$ref_dir/ref.bgl"
    rm -rf "$ref_dir"
  else
    skip "written file equals the native tool's" "no native quarnel built"
  fi
}

# The live dialog against the template: ids and texts of all fourteen controls.
helper_controls_match() {
  local actual expected
  actual=$(probe texts "$HELPER_TITLE" | awk -F'\t' '$1 == "control" && $2 != "-1" { print $2 "|" $5 }')
  expected=$(printf '%s\n' \
    "1698|Select source AFD file" \
    "1700|Select the basic AFD file" \
    "1|Start Process" \
    "1697|" \
    "1699|" \
    "1701|Output path for new file" \
    "1702|" \
    "1703|NEWAFD.BGL")
  [ "$actual" = "$expected" ] || { echo "    controls: $actual"; return 1; }
  [ "$(probe texts "$HELPER_TITLE" | awk -F'\t' '$1 == "control"' | wc -l)" -eq 14 ]
}

# The second run: remembered folders, the name clash, an output that cannot
# be written.
helper_second_run() {
  echo "QuarnelHelper: second start, remembered folders, name clash"
  start_helper "$TOOL_DIR"
  if ! wait_window "$HELPER_TITLE" 40; then
    fail "dialog appears on the second start"
    return 1
  fi
  sleep 0.5
  shot 06-second-start
  expect_eq "second start shows SOURCEDIR" "$(control_text "$HELPER_TITLE" 1697)" 'C:\SCENERY\MINE'
  expect_eq "second start shows TARGETDIR" "$(control_text "$HELPER_TITLE" 1699)" 'C:\AFD'
  expect_eq "second start shows OPATH" "$(control_text "$HELPER_TITLE" 1702)" 'C:\OUT'
  expect_eq "second start offers NEWAFD.BGL again" "$(control_text "$HELPER_TITLE" 1703)" "NEWAFD.BGL"

  # The boxes hold only folders now; pick the files again, and point the
  # output at the source's own folder.
  pick 1698 'C:\scenery\mine\source.bgl'
  pick 1700 'C:\afd\base.bgl'
  pick 1701 'C:\scenery\mine\source.bgl'
  type_into "$HELPER_TITLE" 1703 "Source.Bgl"
  local before
  before=$(stat -c '%s %Y' "$DRIVE_C/scenery/mine/source.bgl"; md5sum <"$DRIVE_C/scenery/mine/source.bgl")
  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 20; then
    sleep 0.3
    shot 07-name-clash
    expect_eq "name clash refused" "$(box_text)" "$CLASH_TEXT"
    answer_box 1
  else
    fail "name clash box appears"
  fi
  check "after the clash the dialog stays open" has_window "$HELPER_TITLE"
  check "after the clash the program still runs" kill -0 "$HELPER_PID"
  expect_eq "the clash ran nothing: source untouched" \
    "$(stat -c '%s %Y' "$DRIVE_C/scenery/mine/source.bgl"; md5sum <"$DRIVE_C/scenery/mine/source.bgl")" \
    "$before"
  expect_eq "the clash ran nothing: no new file" "$(ls "$DRIVE_C/scenery/mine")" "source.bgl"

  # A name the file system refuses: the tool's own code comes back.
  type_into "$HELPER_TITLE" 1703 "bad?name.bgl"
  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 60; then
    sleep 0.3
    shot 08-status-cannot-write
    expect_eq "unwritable output reported with its accent" "$(box_text)" "$CANNOT_WRITE_TEXT"
    answer_box 1
  else
    fail "status box for an unwritable output"
  fi
  check "program ends after the second run" wait_pid "$HELPER_PID" 20
}

# Esc closes the dialog without running anything; a tool folder without the
# tool reports it as not found.
helper_other_ends() {
  echo "QuarnelHelper: Esc, and a start without quarnel.exe"
  local out_before
  out_before=$(ls "$DRIVE_C/out")
  start_helper "$TOOL_DIR"
  if wait_window "$HELPER_TITLE" 40; then
    click "$HELPER_TITLE" 1703
    xdotool key Escape
    check "Esc ends the program" wait_pid "$HELPER_PID" 20
    expect_eq "Esc runs nothing" "$(ls "$DRIVE_C/out")" "$out_before"
  else
    fail "dialog appears for the Esc test"
  fi

  start_helper "$DRIVE_C/lonely"
  if wait_window "$HELPER_TITLE" 40 && press_start && answer_box 1 &&
    wait_window "$BOX_TITLE" 30; then
    sleep 0.3
    shot 09-status-not-found
    expect_eq "missing tool reported" "$(box_text)" "$NOT_FOUND_TEXT"
    answer_box 1
    check "program ends after the missing tool" wait_pid "$HELPER_PID" 20
  else
    fail "status box for a missing tool"
  fi
}

# quarnel.exe without arguments: the one notice of the console tool.
tool_notice() {
  echo "quarnel.exe: started without arguments"
  local out="$SESSION_DIR/notice.out"
  ("$WINE" "$BUILD_X64/tool/quarnel.exe" >"$out" 2>/dev/null; echo $? >"$out.rc") &
  local pid=$!
  if wait_window Information 40; then
    sleep 0.3
    shot 10-tool-notice
    expect_eq "notice text" "$(control_text Information "$BOX_TEXT_ID")" \
      'QUARNEL is a Win32 console application\nand needs command line parameters.\nPlease open a console window (DOS Box)\nto enter a command line or use a\nfront end application like QUARNELHELPER'
    # The kind of icon is not readable across processes; the screenshot shows it.
    check "notice shows an icon" \
      test "$(probe texts Information | awk -F'\t' '$2 == "1088" { print $4 }')" = "50000003"
    click Information 1
  else
    fail "notice box \"Information\" appears"
  fi
  check "quarnel.exe ends after the notice" wait_pid "$pid" 20
  wait "$pid" 2>/dev/null
  expect_eq "quarnel.exe without arguments ends with 0" "$(cat "$out.rc" 2>/dev/null)" "0"
  expect_eq "quarnel.exe without arguments prints banner and unknown command" \
    "$(tr -d '\r' <"$out")" $'QUARNEL 1.2\nunknown command'
}
