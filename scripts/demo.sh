#!/usr/bin/env bash
# Sets everything up (scripts/setup.sh) and runs the program's main job:
# for each bus, tavrin-sim plays a sample transmitter on a pseudo-terminal
# that a program folder of its own sees as COM1, and tavrin-cli connects,
# reads every parameter and prints the parameter table. Run from a terminal
# of a desktop session, it then opens the window on the Modbus transmitter
# (scripts/window.sh); without a display or a terminal it ends there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
dist="$root/build/dist"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-demo-XXXXXX")
sim=
cleanup() {
  if [ -n "$sim" ]; then kill -TERM "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The program folder: the drivers and the sample library of the build, and
# a com.ini of its own, so that the build's folder stays untouched.
mkdir -p "$work/Driver" "$work/ports"
ln -s "$dist"/Driver/*.so "$work/Driver/"
cp -r "$dist/Modbus" "$dist/Profibus" "$dist/device.cfg" "$work/"

demo() { # bus, bus address, simulator profile
  local bus=$1 address=$2 profile=$3 type
  type=$(echo "$bus" | tr a-z A-Z)
  cat >"$work/com.ini" <<INI
[COMMUNICATION]
TYPE=$type
PORT=1
BANDRATE=19200
DATABITS=8
PARITY=2
STOPBITS=0
FLOWCTRL=0
[${type}_ADDR]
ADDRESS=$address
INI
  echo "== $bus: tavrin-sim with $profile, transmitter at address $address"
  "$dist/tavrin-sim" --bus "$bus" --link "$work/ports/COM1" --profile "$root/sim/profiles/$profile" &
  sim=$!
  for _ in $(seq 200); do [ -L "$work/ports/COM1" ] && break; sleep 0.05; done
  [ -L "$work/ports/COM1" ] || { echo "tavrin-sim did not start" >&2; exit 1; }
  echo "== tavrin-cli --user maintenance connect read table"
  "$dist/tavrin-cli" --folder "$work" --user maintenance connect read table
  kill -TERM "$sim"
  wait "$sim"
  echo "== tavrin-sim ended with status $?"
  sim=
}

demo modbus 1 modbus-pressure.ini
demo profibus 5 profibus-pressure.ini

if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -t 0 ] && [ -t 1 ]; then
  echo "== the window: bash scripts/window.sh modbus (close it to end the demo)"
  bash "$root/scripts/window.sh" modbus
fi
