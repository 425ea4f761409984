# shellcheck shell=bash
# quarnel.exe's output handling under Wine: the write-through replace of an
# earlier output, and the console control handler that removes the temporary
# file when Ctrl+C stops a run. Sourced by scripts/test-windows after lib.sh;
# needs BUILD_DIR (the build under test), SAMPLES, a running Wine session,
# and optionally NATIVE_QUARNEL and BENCH_GEN (the native make_bench_files).

# no_temporaries DIR: the Windows build's temporary files are qrnXXXX.tmp.
no_temporaries() { ! compgen -G "$1/qrn*.tmp" >/dev/null; }

# wait_for_temporary DIR SECONDS: true once a temporary file there has grown
# past its first megabyte.
wait_for_temporary() {
  local deadline=$((SECONDS + $2)) f
  while [ "$SECONDS" -lt "$deadline" ]; do
    for f in "$1"/qrn*.tmp; do
      [ -f "$f" ] && [ "$(stat -c %s "$f" 2>/dev/null || echo 0)" -gt 1048576 ] && return 0
    done
    sleep 0.05
  done
  return 1
}

tool_replaces_output() {
  echo "quarnel.exe: an earlier output replaced"
  local dir="$DRIVE_C/replace"
  mkdir -p "$dir" && cp "$SAMPLES/base.bgl" "$SAMPLES/source.bgl" "$dir/"
  echo earlier >"$dir/out.bgl"
  local rc=0
  (cd "$dir" && "$WINE" "$BUILD_DIR/tool/quarnel.exe" -R base.bgl source.bgl out.bgl \
    >/dev/null 2>"$SESSION_DIR/replace.err") || rc=$?
  expect_eq "link over an earlier output ends with 0" "$rc" 0
  wine_said "replace run" "$SESSION_DIR/replace.err"
  check "no temporary file is left" no_temporaries "$dir"
  if [ -n "${NATIVE_QUARNEL:-}" ]; then
    (cd "$dir" && "$NATIVE_QUARNEL" -R base.bgl source.bgl native.bgl >/dev/null)
    check "the output is the whole result, as the native tool writes it" \
      same_except_stamp "$dir/out.bgl" "$dir/native.bgl"
  else
    check "the earlier output is replaced" bash -c "[ \"\$(cat '$dir/out.bgl')\" != earlier ]"
  fi
  rm -rf "$dir"
}

# ctrl_c_input DIR: the input pair of the Ctrl+C check, about 100 MB to copy
# (under Wine a few seconds, long enough to be caught), generated once per
# session and linked into DIR.
ctrl_c_input() {
  local cache="$SESSION_DIR/ctrlc-input"
  if [ ! -f "$cache/source.bgl" ]; then
    mkdir -p "$cache"
    "$BENCH_GEN" "$cache" --entries 2000 --size-mib 96 >/dev/null || return 1
  fi
  ln -f "$cache/base.bgl" "$cache/source.bgl" "$1/"
}

# Wine turns SIGINT into the console's Ctrl+C event, as a console window would.
# CTRL_C_LATE counts the runs whose temporary file went only after the run had
# been seen to end.
CTRL_C_LATE=0
tool_ctrl_c_cleanup() {
  echo "quarnel.exe: Ctrl+C during a run"
  if [ -z "${BENCH_GEN:-}" ] || [ ! -x "$BENCH_GEN" ]; then
    skip "Ctrl+C removes the temporary file" "the native make_bench_files is not built"
    return 0
  fi
  local dir="$DRIVE_C/ctrlc"
  mkdir -p "$dir"
  if ! ctrl_c_input "$dir"; then
    fail "Ctrl+C: generating the input pair"
    return 0
  fi
  echo earlier >"$dir/out.bgl"
  # timeout bounds the run and hands the signal on to it.
  (cd "$dir" && exec timeout -s KILL 300 "$WINE" "$BUILD_DIR/tool/quarnel.exe" -R base.bgl source.bgl out.bgl) \
    >/dev/null 2>"$SESSION_DIR/ctrlc.err" &
  local pid=$!
  if ! wait_for_temporary "$dir" 120; then
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    fail "Ctrl+C: the run never started writing" "$(head -c 300 "$SESSION_DIR/ctrlc.err")"
    rm -rf "$dir"
    return 0
  fi
  kill -INT "$pid"
  local rc=0
  wait "$pid" || rc=$?
  # STATUS_CONTROL_C_EXIT (0xC000013A); a Unix parent sees its low byte.
  expect_eq "Ctrl+C ends the run with STATUS_CONTROL_C_EXIT" "$rc" 58
  # The handler deletes the file behind the run's own open handle; Wine removes
  # it once wineserver has closed the ended process's handles, which can come
  # a few milliseconds after the process's parent has seen it end.
  if no_temporaries "$dir"; then
    check "Ctrl+C: the temporary file is removed" true
  else
    check_soon "Ctrl+C: the temporary file is removed" no_temporaries "$dir" &&
      echo "    (it went only after the run had ended: Wine closes an ended process's handles later)"
    CTRL_C_LATE=$((CTRL_C_LATE + 1))
  fi
  expect_eq "Ctrl+C: the earlier output is unchanged" "$(cat "$dir/out.bgl")" earlier
  wine_said "Ctrl+C run" "$SESSION_DIR/ctrlc.err"
  rm -rf "$dir"
}
