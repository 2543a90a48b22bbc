# What the tests that run the real program on X servers (Xvfb) share; sourced. A work folder
# removed at the end with every process in `pids` ended, a failure with the end of every
# output, waiting, and X servers on free displays.
work="$(mktemp -d)"
pids=()
cleanup() {
  if ((${#pids[@]})); then  # a bare wait would wait for every child
    kill "${pids[@]}" 2>/dev/null
    wait "${pids[@]}" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {  # with the end of every output and log, each under its name
  echo "FAILED: $*"
  tail -n 20 "$work"/*.out "$work"/*.log 2>/dev/null
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  for ((i = 0; i < $1; i++)); do
    "${@:2}" && return 0
    sleep 0.1
  done
  "${@:2}"
}

# Starts an X server of the screen size $2 (1366x768 when not given) on a free display; its
# number lands in $work/display$1. The number is picked at random and claimed by the server's
# lock file: servers that other tests start at the same time never share one (servers that
# chose their own number could race for it and split its two sockets between them).
start_display() {
  local attempt server number
  for attempt in $(seq 1 20); do
    number=$((100 + RANDOM % 800))
    Xvfb ":$number" -screen 0 "${2:-1366x768}x24" -nolisten tcp >"$work/xvfb$1.out" 2>&1 &
    server=$!
    if wait_for 100 eval 'kill -0 $server 2>/dev/null && xdpyinfo -display ":$number" >/dev/null 2>&1' &&
      [ "$(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null)" = "$server" ]; then
      echo "$number" >"$work/display$1"
      pids+=("$server")
      return 0
    fi
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  done
  fail "Xvfb did not start"
}
