# End-to-end runs of QuarnelHelper.exe under Wine, driven through its real
# windows with xdotool. Sourced by scripts/test-windows after lib.sh; needs
# BUILD_DIR (the build under test), ARTIFACTS, PROBE_EXE, a running wine session, and optionally
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
MERGE_BOX=1704
MERGE_BOX_TEXT="Also add the airports the basic file lacks"
# The probe writes a line break inside a text as \n.
MERGE_SUCCESS_TEXT="${SUCCESS_TEXT}\\n3 replaced, 1 added, 0 left out"

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

box_has_text() { [ -n "$(box_text)" ]; }

# answer_box ID: presses OK (1) or Cancel (2) in the box that is open, and
# waits until that box has gone; the next box may follow at once under the
# same title, so it is told apart by its text (every box has one).
answer_box() {
  local text
  wait_for 20 box_has_text || return 1
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
  cp "$BUILD_DIR/frontend/QuarnelHelper.exe" "$BUILD_DIR/tool/quarnel.exe" "$TOOL_DIR/"
  cp "$BUILD_DIR/frontend/QuarnelHelper.exe" "$DRIVE_C/lonely/"
  cp "$SAMPLES/source.bgl" "$DRIVE_C/scenery/mine/source.bgl"
  cp "$SAMPLES/base.bgl" "$DRIVE_C/afd/base.bgl"
  echo "any file shows the picker its folder" >"$DRIVE_C/out/pick-me.txt"
}

# ini_value FILE KEY: the key's value in a settings file.
ini_value() {
  [ -f "$1" ] || return 1
  tr -d '\r' <"$1" | sed -n "s/^$2=//p"
}

# The shared settings file in the Windows folder.
settings_value() {
  ini_value "$(find "$DRIVE_C/windows" -maxdepth 1 -iname mvt.ini | head -n 1)" "$1"
}

# The per-user copy, which Wine keeps under the user's AppData\Roaming.
user_settings_file() { find "$DRIVE_C/users" -ipath '*/AppData/Roaming/Quarnel/MVT.INI' | head -n 1; }
user_settings_value() { ini_value "$(user_settings_file)" "$1"; }

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
  expect_soon "output name starts as NEWAFD.BGL" "NEWAFD.BGL" control_text "$HELPER_TITLE" 1703
  expect_soon "no settings: source box empty" "" control_text "$HELPER_TITLE" 1697
  expect_soon "no settings: basic box empty" "" control_text "$HELPER_TITLE" 1699
  shot 01-dialog
  check_soon "live dialog has the template's controls in order" helper_controls_match

  pick 1698 'C:\scenery\mine\source.bgl' || fail "source picker" "no open-file dialog"
  shot 02-after-source-pick
  expect_soon "source box shows the picked path in upper case" \
    'C:\SCENERY\MINE\SOURCE.BGL' control_text "$HELPER_TITLE" 1697

  type_into "$HELPER_TITLE" 1703 "linked.bgl"
  pick 1700 'C:\afd\base.bgl' || fail "basic picker" "no open-file dialog"
  expect_soon "basic box shows the picked path in upper case" \
    'C:\AFD\BASE.BGL' control_text "$HELPER_TITLE" 1699

  click "$HELPER_TITLE" 1701 && wait_window Open 20
  shot 03-open-dialog
  type_into Open 1148 'C:\out\pick-me.txt' && xdotool key Return
  wait_no_window Open 20 || fail "output picker closes"
  expect_soon "output picker keeps only the folder" 'C:\OUT' control_text "$HELPER_TITLE" 1702
  expect_soon "typed name survives the pickers" "linked.bgl" control_text "$HELPER_TITLE" 1703

  expect_soon "MVT.INI SOURCEDIR" 'C:\SCENERY\MINE' settings_value SOURCEDIR
  expect_soon "MVT.INI TARGETDIR" 'C:\AFD' settings_value TARGETDIR
  expect_soon "MVT.INI OPATH" 'C:\OUT' settings_value OPATH
  check "nothing written per user while MVT.INI can be written" test -z "$(user_settings_file)"

  if press_start; then
    expect_soon "confirmation text" "$CONFIRM_TEXT" box_text
    shot 04-confirmation
    answer_box 2
    expect_soon "cancelled confirmation upper-cases the name" \
      "LINKED.BGL" control_text "$HELPER_TITLE" 1703
    check_soon "cancelled confirmation keeps the dialog open" has_window "$HELPER_TITLE"
    check "cancelled confirmation runs nothing" test ! -e "$DRIVE_C/out/LINKED.BGL"
  else
    fail "confirmation box appears"
  fi

  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 60; then
    POLL_SECONDS=60 expect_soon "status box after the link" "$SUCCESS_TEXT" box_text
    shot 05-status-success
    answer_box 1
  else
    fail "status box appears after the link"
    shot fail-status
  fi
  check "program ends after the status box" wait_pid "$HELPER_PID" 20
  check "linked file written to C:\\OUT\\LINKED.BGL" test -f "$DRIVE_C/out/LINKED.BGL"
  if [ -n "${NATIVE_QUARNEL:-}" ]; then
    check_equals_native -r "$DRIVE_C/out/LINKED.BGL" \
      "written file equals the native tool's apart from id, date and time"
  else
    skip "written file equals the native tool's" "no native quarnel built"
  fi
}

# Checks that FILE, which the dialog had the Windows tool write, holds the bytes
# the native tool writes with OPTION from the samples, apart from the stamp.
check_equals_native() {  # OPTION FILE WHAT
  local ref_dir
  ref_dir=$(mktemp -d)
  (cd "$ref_dir" && "$NATIVE_QUARNEL" "$1" "$SAMPLES/base.bgl" "$SAMPLES/source.bgl" ref.bgl \
    >/dev/null 2>&1)
  check "$3" same_except_stamp "$2" "$ref_dir/ref.bgl"
  rm -rf "$ref_dir"
}

# The live dialog against the template: ids and texts of all fifteen controls.
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
    "1703|NEWAFD.BGL" \
    "$MERGE_BOX|$MERGE_BOX_TEXT")
  [ "$actual" = "$expected" ] || { echo "    controls: $actual"; return 1; }
  [ "$(probe texts "$HELPER_TITLE" | awk -F'\t' '$1 == "control"' | wc -l)" -eq 15 ]
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
  expect_remembered "second start" 'C:\SCENERY\MINE' 'C:\AFD' 'C:\OUT'
  expect_soon "second start offers NEWAFD.BGL again" "NEWAFD.BGL" control_text "$HELPER_TITLE" 1703
  shot 06-second-start

  # The boxes hold only folders now; pick the files again, and point the
  # output at the source's own folder.
  pick 1698 'C:\scenery\mine\source.bgl'
  pick 1700 'C:\afd\base.bgl'
  pick 1701 'C:\scenery\mine\source.bgl'
  type_into "$HELPER_TITLE" 1703 "Source.Bgl"
  local before
  before=$(stat -c '%s %Y' "$DRIVE_C/scenery/mine/source.bgl"; md5sum <"$DRIVE_C/scenery/mine/source.bgl")
  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 20; then
    expect_soon "name clash refused" "$CLASH_TEXT" box_text
    shot 07-name-clash
    answer_box 1
  else
    fail "name clash box appears"
  fi
  check_soon "after the clash the dialog stays open" has_window "$HELPER_TITLE"
  check "after the clash the program still runs" kill -0 "$HELPER_PID"
  expect_eq "the clash ran nothing: source untouched" \
    "$(stat -c '%s %Y' "$DRIVE_C/scenery/mine/source.bgl"; md5sum <"$DRIVE_C/scenery/mine/source.bgl")" \
    "$before"
  expect_eq "the clash ran nothing: no new file" "$(ls "$DRIVE_C/scenery/mine")" "source.bgl"

  # A name the file system refuses: the tool's own code comes back.
  type_into "$HELPER_TITLE" 1703 "bad?name.bgl"
  if press_start && answer_box 1 && wait_window "$BOX_TITLE" 60; then
    POLL_SECONDS=60 expect_soon "unwritable output reported with its accent" \
      "$CANNOT_WRITE_TEXT" box_text
    shot 08-status-cannot-write
    answer_box 1
  else
    fail "status box for an unwritable output"
  fi
  check "program ends after the second run" wait_pid "$HELPER_PID" 20
}

# box_checked ID: 1 when the dialog's check box ID is ticked, else 0.
box_checked() { probe checked "$HELPER_TITLE" "$1"; }

# The temporary files that catch the tool's output for the dialog.
report_temporaries() { find "$DRIVE_C" -iname 'qrh*.tmp' 2>/dev/null; }

# The merge box: ticked, remembered, and a merge of the samples that adds
# KASSEL and says so. Runs after the unticked runs, which must have left no
# MERGE key behind.
helper_merge() {
  echo "QuarnelHelper: the merge box"
  check "unticked runs leave no MERGE key in MVT.INI" test -z "$(settings_value MERGE)"
  start_helper "$TOOL_DIR"
  if ! wait_window "$HELPER_TITLE" 40; then
    fail "dialog appears for the merge"
    return 1
  fi
  expect_soon "merge box starts unticked" 0 box_checked "$MERGE_BOX"
  click "$HELPER_TITLE" "$MERGE_BOX"
  expect_soon "merge box ticked by a click" 1 box_checked "$MERGE_BOX"
  expect_soon "MVT.INI MERGE=1 as soon as it is ticked" 1 settings_value MERGE
  pick 1698 'C:\scenery\mine\source.bgl' || fail "source picker" "no open-file dialog"
  pick 1700 'C:\afd\base.bgl' || fail "basic picker" "no open-file dialog"
  pick 1701 'C:\out\pick-me.txt' || fail "output picker" "no open-file dialog"
  type_into "$HELPER_TITLE" 1703 "merged.bgl"
  expect_soon "merge: basic box filled" 'C:\AFD\BASE.BGL' control_text "$HELPER_TITLE" 1699
  shot 12-merge-ticked
  if press_start; then
    expect_soon "merge: the same confirmation text" "$CONFIRM_TEXT" box_text
    if answer_box 1 && wait_window "$BOX_TITLE" 60; then
      POLL_SECONDS=60 expect_soon "merge: success box shows the tool's report line" \
        "$MERGE_SUCCESS_TEXT" box_text
      shot 13-merge-success
      answer_box 1
    else
      fail "status box appears after the merge"
      shot fail-merge-status
    fi
  else
    fail "confirmation box appears for the merge"
  fi
  check "program ends after the merge" wait_pid "$HELPER_PID" 20
  check "no temporary output file left behind" test -z "$(report_temporaries)"
  local merged="$DRIVE_C/out/MERGED.BGL"
  check "merged file written to C:\\OUT\\MERGED.BGL" test -f "$merged"
  if [ -n "${NATIVE_QUARNEL:-}" ]; then
    check "merged file holds KASSEL (quarnel -L)" \
      bash -c "'$NATIVE_QUARNEL' -L '$merged' | grep -q ' airport .* KASSEL\$'"
    check_equals_native -m "$merged" \
      "merged file equals the native merge's apart from id, date and time"
  else
    skip "merged file holds KASSEL" "no native quarnel built"
  fi
  echo "    MVT.INI after the merge:"
  tr -d '\r' <"$(find "$DRIVE_C/windows" -maxdepth 1 -iname mvt.ini | head -n 1)" | sed 's/^/      /'

  start_helper "$TOOL_DIR"
  if wait_window "$HELPER_TITLE" 40; then
    expect_soon "second start shows the merge box still ticked" 1 box_checked "$MERGE_BOX"
    shot 14-merge-second-start
    # Unticked again, so the runs after this one see the link as before.
    click "$HELPER_TITLE" "$MERGE_BOX"
    expect_soon "unticking stores MERGE=0" 0 settings_value MERGE
    check "merge's second start ends on Esc" close_helper
  else
    fail "dialog appears on the start after the merge"
  fi
}

# expect_remembered WHEN SOURCE BASE OUTPUT: the three folder boxes.
expect_remembered() {
  expect_soon "$1 shows SOURCEDIR" "$2" control_text "$HELPER_TITLE" 1697
  expect_soon "$1 shows TARGETDIR" "$3" control_text "$HELPER_TITLE" 1699
  expect_soon "$1 shows OPATH" "$4" control_text "$HELPER_TITLE" 1702
}

# close_helper: Esc, and the program has ended.
close_helper() {
  click "$HELPER_TITLE" 1703 && xdotool key Escape
  wait_pid "$HELPER_PID" 20
}

# The shared MVT.INI cannot be written: the picks go to the per-user copy and
# come back from there. As root nothing is refused for want of rights, so a
# directory in the file's place makes the write fail.
helper_settings_fallback() {
  echo "QuarnelHelper: MVT.INI in the Windows folder cannot be written"
  local shared
  shared=$(find "$DRIVE_C/windows" -maxdepth 1 -iname mvt.ini | head -n 1)
  [ -n "$shared" ] && rm -f "$shared"
  mkdir "$DRIVE_C/windows/MVT.INI"
  start_helper "$TOOL_DIR"
  if ! wait_window "$HELPER_TITLE" 40; then
    fail "dialog appears with an unwritable MVT.INI"
    return 1
  fi
  expect_remembered "unreadable MVT.INI: first start" "" "" ""
  pick 1698 'C:\scenery\mine\source.bgl' || fail "source picker" "no open-file dialog"
  pick 1700 'C:\afd\base.bgl' || fail "basic picker" "no open-file dialog"
  pick 1701 'C:\out\pick-me.txt' || fail "output picker" "no open-file dialog"
  expect_soon "per-user MVT.INI SOURCEDIR" 'C:\SCENERY\MINE' user_settings_value SOURCEDIR
  expect_soon "per-user MVT.INI TARGETDIR" 'C:\AFD' user_settings_value TARGETDIR
  expect_soon "per-user MVT.INI OPATH" 'C:\OUT' user_settings_value OPATH
  check "Windows folder's MVT.INI left as it was" test -d "$DRIVE_C/windows/MVT.INI"
  check "fallback run ends on Esc" close_helper

  start_helper "$TOOL_DIR"
  if wait_window "$HELPER_TITLE" 40; then
    expect_remembered "next start from the per-user copy" 'C:\SCENERY\MINE' 'C:\AFD' 'C:\OUT'
    shot 11-settings-per-user
    check "per-user start ends on Esc" close_helper
  else
    fail "dialog appears for the per-user start"
  fi

  # Writable again: a new pick lands in MVT.INI and in the per-user copy,
  # which would otherwise bring back the older folder.
  rmdir "$DRIVE_C/windows/MVT.INI"
  start_helper "$TOOL_DIR"
  if wait_window "$HELPER_TITLE" 40; then
    pick 1698 'C:\afd\base.bgl' || fail "source picker" "no open-file dialog"
    expect_soon "writable again: MVT.INI gets the pick" 'C:\AFD' settings_value SOURCEDIR
    expect_soon "writable again: per-user copy follows" 'C:\AFD' user_settings_value SOURCEDIR
    check "writable-again run ends on Esc" close_helper
  else
    fail "dialog appears once MVT.INI is writable again"
  fi
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
    expect_soon "missing tool reported" "$NOT_FOUND_TEXT" box_text
    shot 09-status-not-found
    answer_box 1
    check "program ends after the missing tool" wait_pid "$HELPER_PID" 20
  else
    fail "status box for a missing tool"
  fi
}

notice_icon_style() { probe texts Information | awk -F'\t' '$2 == "1088" { print $4 }'; }

# quarnel.exe without arguments: the one notice of the console tool.
tool_notice() {
  echo "quarnel.exe: started without arguments"
  local out="$SESSION_DIR/notice.out"
  ("$WINE" "$BUILD_DIR/tool/quarnel.exe" >"$out" 2>/dev/null; echo $? >"$out.rc") &
  local pid=$!
  if wait_window Information 40; then
    expect_soon "notice text" \
      'QUARNEL is a Win32 console application\nand needs command line parameters.\nPlease open a console window (DOS Box)\nto enter a command line or use a\nfront end application like QUARNELHELPER' \
      control_text Information "$BOX_TEXT_ID"
    # The kind of icon is not readable across processes; the screenshot shows it.
    expect_soon "notice shows an icon" "50000003" notice_icon_style
    shot 10-tool-notice
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
