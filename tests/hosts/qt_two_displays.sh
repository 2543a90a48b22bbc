#!/usr/bin/env bash
# The real program on two X servers: a start on the second display runs an editor of its own,
# a later start on the first hands its file to the editor there and ends. Each editor shows
# the file it got in its window's title. Skipped (status 77) without Xvfb.
set -uo pipefail
program="$1"
if ! command -v Xvfb >/dev/null || ! command -v xwininfo >/dev/null; then
  echo "skipped: Xvfb or xwininfo (x11-utils) is not installed"
  exit 77
fi

source "$(dirname "$0")/x_servers.sh"
start_display 1
start_display 2
first=":$(head -n 1 "$work/display1")"
second=":$(head -n 1 "$work/display2")"

# The editors share a runtime folder and a home of their own, as the starts of one user do.
mkdir -m 700 "$work/run"
mkdir "$work/home"
for name in eins zwei drei; do echo "$name" >"$work/$name.bin"; done
# A start of the program on display $1 with file $2.bin: exec'd in place of its shell.
editor() {
  exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u XAUTHORITY \
    DISPLAY="$1" XDG_RUNTIME_DIR="$work/run" HOME="$work/home" \
    "$program" --log "$work/$2.log" "$work/$2.bin" </dev/null >"$work/$2.out" 2>&1
}
running() {  # pid; an ended process that was not waited for yet counts as ended
  test -e "/proc/$1/exe"
}
shows() {  # display, title
  xwininfo -display "$1" -root -tree 2>/dev/null | grep -q "\"$2\""
}

(editor "$first" eins) &
pids+=($!)
wait_for 200 shows "$first" eins.bin || fail "the editor on $first does not show eins.bin"

# The second display, named as the screen of it: an editor of its own that keeps running.
(editor "$second.0" zwei) &
second_editor=$!
pids+=($second_editor)
wait_for 200 shows "$second" zwei.bin || fail "the editor on $second does not show zwei.bin"
running "$second_editor" || fail "the start on $second ended"
shows "$first" eins.bin || fail "the editor on $first no longer shows eins.bin"

# The first display again, through its other name: handed over.
(editor "unix$first.0" drei) &
third=$!
wait_for 150 eval '! running "$third"' || { kill "$third"; fail "the third start did not end"; }
wait "$third"
status=$?
[ "$status" -eq 0 ] || fail "the third start ended with status $status"
wait_for 100 shows "$first" drei.bin || fail "the editor on $first does not show drei.bin"
shows "$second" zwei.bin || fail "the editor on $second no longer shows zwei.bin"
running "$second_editor" || fail "the editor on $second ended"
echo "passed: $first took drei.bin, $second kept zwei.bin"
