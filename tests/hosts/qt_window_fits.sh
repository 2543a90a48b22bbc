#!/usr/bin/env bash
# The real program under a real window manager (openbox) on laptop screens of 1366 × 768 and
# 1280 × 720: the editor's window, frame included, comes in whole on the screen, and its picture
# keeps the toolkit's proportions. Once with the window manager's usual frame, once with a
# title bar taller than the frame the program guesses before it is framed. Skipped (status 77)
# without Xvfb, openbox or x11-utils.
set -uo pipefail
program="$1"
for tool in Xvfb openbox xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/x_servers.sh"
echo hallo >"$work/x.bin"
cat >"$work/tall.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme>
    <font place="ActiveWindow"><name>DejaVu Sans</name><size>24</size></font>
    <font place="InactiveWindow"><name>DejaVu Sans</name><size>24</size></font>
  </theme>
</openbox_config>
XML

# The window's client rectangle and frame extents: x y width height left right top bottom.
geometry() {
  local id info extents
  id="$(xwininfo -root -tree | grep '"x.bin"' | head -n 1 | awk '{print $1}')"
  [ -n "$id" ] || return 1
  info="$(xwininfo -id "$id")" || return 1
  extents="$(xprop -id "$id" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')"
  [ -n "$extents" ] || return 1
  echo "$(awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2}
               END {print x, y, w, h}' <<<"$info") $extents"
}
# Whether the frame lies within the screen of $1 × $2.
fits() {
  local x y w h l r t b
  read -r x y w h l r t b < <(geometry) || return 1
  ((x - l >= 0 && y - t >= 0 && x + w + r <= $1 && y + h + b <= $2))
}

# Whether a window manager runs on the display: the window it names on the root lives (the root
# keeps naming the window of a manager that has ended).
manager_window_lives() {
  local window
  window="$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # //p')"
  [ -n "$window" ] && xprop -id "$window" >/dev/null 2>&1
}

# Starts openbox with the options given and waits until it manages the display; now and then
# (on a busy machine, with other X servers coming and going) it fails to connect: it is started
# again.
start_manager() {
  local attempt manager
  for attempt in 1 2 3; do
    openbox "$@" >"$work/openbox.out" 2>&1 &
    manager=$!
    if wait_for 100 eval 'kill -0 $manager 2>/dev/null && manager_window_lives'; then
      pids+=("$manager")
      return 0
    fi
    kill "$manager" 2>/dev/null
    wait "$manager" 2>/dev/null
  done
  return 1
}

titles=()
for size in 1366x768 1280x720; do
  for theme in usual tall; do
    start_display "-$size-$theme" "$size"
    export DISPLAY=":$(head -n 1 "$work/display-$size-$theme")"
    config=()
    [ "$theme" = tall ] && config=(--config-file "$work/tall.xml")
    start_manager "${config[@]}" || fail "openbox did not start"
    # A runtime folder of its own each time: no hand-over to the editor of a server gone.
    mkdir -m 700 "$work/run-$size-$theme"
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/run-$size-$theme" HOME="$work" \
      "$program" --log "$work/program.log" "$work/x.bin" </dev/null >"$work/program.out" 2>&1 &
    pids+=($!)
    width="${size%x*}" height="${size#*x}"
    wait_for 300 eval 'geometry >/dev/null' ||
      fail "no window on $size: $(xwininfo -root -tree | grep -v 'has no name' | head -n 12)"
    wait_for 150 fits "$width" "$height" || fail "$theme frame on $size: $(geometry) (x y width height left right top bottom)"
    # The menu bar keeps its height, the picture (1312 × 832 with its border) its proportions.
    read -r _ _ w h _ < <(geometry)
    titles+=($((h - (w * 832 + 656) / 1312)))
    echo "$theme frame on $size: $(geometry)"
    kill "${pids[@]}" 2>/dev/null
    wait "${pids[@]}" 2>/dev/null
    pids=()
  done
done
for title in "${titles[@]}"; do
  ((title >= 10 && title <= 60 && title - titles[0] <= 1 && titles[0] - title <= 1)) ||
    fail "the proportions were not kept: menu bar heights ${titles[*]}"
done
echo "passed: every window whole on its screen, menu bar ${titles[*]} points"
