#!/usr/bin/env bash
# Runs one editor script on the headless host in a fresh folder holding copies of the test
# data. Lines of the script that start with "#!" are shell checks run in that folder after
# the editor has ended (for example a comparison of the saved bytes); a line "#arg NAME"
# names the file the program is started with.
set -euo pipefail
program="$1"
script="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
data="$(cd "$(dirname "$0")/data" && pwd)"
work="$(mktemp -d)"
log="$(mktemp)"
trap 'rm -rf "$work" "$log"' EXIT
cp -r "$data"/. "$work"/
cd "$work"
# The folder is the user's home too, so the file browser starts in it.
export HOME="$work" XDG_CONFIG_HOME="$work/.config"
arguments=()
while IFS= read -r argument; do arguments+=("$argument"); done < <(sed -n 's/^#arg //p' "$script")
status=0
"$program" --headless --script "$script" --log "$log" "${arguments[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- log of the toolkit"
  tail -n 40 "$log" || true
  exit "$status"
fi
while IFS= read -r check; do
  if ! bash -c "$check"; then
    echo "check failed: $check"
    exit 1
  fi
done < <(sed -n 's/^#! //p' "$script")
