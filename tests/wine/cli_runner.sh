#!/usr/bin/env bash
# The golden CLI tests' runner under Wine: QUARNEL_RUNNER="cli_runner.sh LOADER"
# runs LOADER PROGRAM ARGS... with Wine's own errors about its address space
# on. Now and then Wine cannot start a program at all ("failed to map the
# shared user data": the fixed address it needs for that page is taken) and
# ends the run with 1 before the program has run; otherwise silent, that looks
# like the tool's own 1. Such runs are noted in the file QUARNEL_WINE_NOTES,
# and Wine's lines are kept off the program's standard error.
loader=$1
shift
said=$(mktemp /tmp/quarnel-wine-said.XXXXXX) || exit 125
WINEDEBUG=-all,err+virtual "$loader" "$@" 2>"$said"
rc=$?
wine_line='^([0-9a-f]{4}:)?err:'
grep -avE "$wine_line" "$said" >&2
if [ -n "${QUARNEL_WINE_NOTES:-}" ] && grep -aqE "$wine_line" "$said"; then
  {
    echo "ended with $rc: $(basename "$1") ${*:2}"
    grep -aE "$wine_line" "$said" | head -n 3 | sed 's/^/  /'
  } >>"$QUARNEL_WINE_NOTES"
fi
rm -f "$said"
exit "$rc"
