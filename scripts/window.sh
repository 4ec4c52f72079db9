#!/usr/bin/env bash
# Starts the Tavrin window against a simulated transmitter: tavrin-sim
# plays the sample transmitter of the bus (modbus, the default, or
# profibus) on a pseudo-terminal that a program folder of its own sees as
# COM1, and tavrin opens on that folder. Connect (Ctrl+N), choose the user
# type, Read (Ctrl+O)... Closing the window ends the simulator too.
#
#   bash scripts/window.sh [modbus|profibus]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bus=${1:-modbus}
case "$bus" in
  modbus) address=1 profile=modbus-pressure.ini ;;
  profibus) address=5 profile=profibus-pressure.ini ;;
  *) echo "usage: bash scripts/window.sh [modbus|profibus]" >&2; exit 2 ;;
esac
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "window.sh: no display (DISPLAY or WAYLAND_DISPLAY) to show the window on" >&2
  exit 1
fi
bash "$root/scripts/setup.sh"
dist="$root/build/dist"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-window-XXXXXX")
sim=
cleanup() {
  if [ -n "$sim" ]; then kill -TERM "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/Driver" "$work/ports" "$work/DataBase" "$work/data"
ln -s "$dist"/Driver/*.so "$work/Driver/"
cp -r "$dist/Modbus" "$dist/Profibus" "$dist/device.cfg" "$work/"
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
[TITLE]
NAME=Tavrin - simulated $bus transmitter
INI
"$dist/tavrin-sim" --bus "$bus" --link "$work/ports/COM1" --profile "$root/sim/profiles/$profile" &
sim=$!
for _ in $(seq 200); do [ -L "$work/ports/COM1" ] && break; sleep 0.05; done
[ -L "$work/ports/COM1" ] || { echo "tavrin-sim did not start" >&2; exit 1; }
echo "== tavrin on $work: Connect (Ctrl+N), choose the user type, Read (Ctrl+O)"
"$dist/tavrin" --folder "$work"
