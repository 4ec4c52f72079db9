#!/usr/bin/env bash
# The demo: sets everything up (scripts/setup.sh), makes the demo program
# folder build/demo and starts tavrin-sim three times on pseudo-terminals
# that the folder sees as its serial ports:
#
#   COM1  a Modbus RTU pressure transmitter at address 1
#   COM2  the serial PA adapter with two Profibus PA transmitters, 5 and 6
#   COM3  the calibration bench: 32 PA transmitters (addresses 0 to 31)
#         whose pressure and temperature build/demo/plant.ini sets
#
# com.ini points at one of them (--bus, Modbus unless told). From a
# terminal of a desktop session the Tavrin window opens on the folder:
# connect, read, edit, run methods and calibrate as with hardware; closing
# the window ends the simulators. Without a display (or with --offscreen)
# it runs the command-line demo (tavrin-cli reads every parameter of the
# Modbus and the Profibus transmitter and prints the table), then the
# window offscreen, which connects, reads and saves pictures into
# build/demo-screenshots/<bus>/ (every bus unless --bus names one).
# Whatever way it ends, no simulator is left running.
#
#   bash scripts/demo.sh [--bus modbus|profibus|bench] [--offscreen]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() { echo "usage: bash scripts/demo.sh [--bus modbus|profibus|bench] [--offscreen]" >&2; exit 2; }
bus= offscreen=
while (($#)); do
  case "$1" in
    --bus) [ $# -ge 2 ] || usage; bus=$2; shift 2 ;;
    --bus=*) bus=${1#--bus=}; shift ;;
    --offscreen) offscreen=1; shift ;;
    -h|--help) sed -n '2,20s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) usage ;;
  esac
done
case "$bus" in ''|modbus|profibus|bench) ;; *) usage ;; esac
if [ -z "$offscreen" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -t 0 ] && [ -t 1 ]; then
  windowed=1
else
  windowed=
fi

bash "$root/scripts/setup.sh"
dist="$root/build/dist"
demo="$root/build/demo"
shots="$root/build/demo-screenshots"

# Every simulator started is ended, however the demo ends.
sims=()
cleanup() {
  local pid
  for pid in "${sims[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
  sims=()
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# The program folder: the build's executables, drivers and description
# library as links, its own com.ini and plant file. Trim databases,
# reports, exports and a password set in the demo stay from run to run.
mkdir -p "$demo/Driver" "$demo/ports" "$demo/DataBase" "$demo/data"
rm -f "$demo"/Driver/*.so "$demo"/ports/COM*
ln -s "$dist"/Driver/*.so "$demo/Driver/"
for exe in tavrin tavrin-cli tavrin-sim eddc; do
  if [ -x "$dist/$exe" ]; then ln -sfn "$dist/$exe" "$demo/$exe"; fi
done
rm -rf "$demo/Modbus" "$demo/Profibus"
cp -r "$dist/Modbus" "$dist/Profibus" "$demo/"
cp "$dist/device.cfg" "$demo/device.cfg"
[ -f "$demo/plant.ini" ] || printf '[PLANT]\nPRESSURE=0\nTEMPERATURE=20\n' >"$demo/plant.ini"

simulate() { # COM number, bus, profile, extra options...
  local port=$1 simbus=$2 profile=$3
  shift 3
  "$dist/tavrin-sim" --bus "$simbus" --link "$demo/ports/COM$port" --profile "$root/sim/profiles/$profile" "$@" &
  sims+=($!)
}
simulate 1 modbus modbus-pressure.ini
simulate 2 profibus profibus-pressure.ini
simulate 3 profibus profibus-calibration.ini --plant "$demo/plant.ini"
for port in 1 2 3; do
  for _ in $(seq 200); do [ -L "$demo/ports/COM$port" ] && break; sleep 0.05; done
  [ -L "$demo/ports/COM$port" ] || { echo "demo: tavrin-sim did not start on COM$port" >&2; exit 1; }
done

point() { # bus: com.ini for its port
  local type port address title
  case "$1" in
    modbus) type=MODBUS port=1 address=1 title="Modbus transmitter on COM1" ;;
    profibus) type=PROFIBUS port=2 address=5 title="Profibus PA transmitters on COM2" ;;
    bench) type=PROFIBUS port=3 address=0 title="calibration bench on COM3" ;;
  esac
  cat >"$demo/com.ini" <<INI
[COMMUNICATION]
TYPE=$type
PORT=$port
BANDRATE=19200
DATABITS=8
PARITY=2
STOPBITS=0
FLOWCTRL=0
[${type}_ADDR]
ADDRESS=$address
[TITLE]
NAME=Tavrin demo - $title
INI
}

echo "== the demo program folder $demo:"
echo "   COM1 Modbus transmitter (address 1), COM2 Profibus PA transmitters (5, 6),"
echo "   COM3 calibration bench (0 to 31, plant: $demo/plant.ini)"

if [ -n "$windowed" ]; then
  point "${bus:-modbus}"
  echo "== tavrin on $demo: Connect (Ctrl+N), choose the user type, Read (Ctrl+O)."
  echo "   Communication -> COM Setting picks another port; close the window to end the demo."
  "$demo/tavrin" --folder "$demo"
  exit 0
fi

cli_demo() { # bus
  point "$1"
  echo "== $1: tavrin-cli --user maintenance connect read table"
  "$dist/tavrin-cli" --folder "$demo" --user maintenance connect read table
}
cli_demo modbus
cli_demo profibus

status=0
for b in ${bus:-modbus profibus bench}; do
  point "$b"
  rm -rf "${shots:?}/$b"
  echo "== $b: the window offscreen, pictures into $shots/$b"
  # Qt's offscreen platform remarks on every dialog it cannot size; those
  # lines say nothing to a user.
  if ! QT_QPA_PLATFORM=offscreen "$demo/tavrin" --folder "$demo" --screenshots "$shots/$b" \
       2> >(grep -v -e 'propagateSizeHints' -e 'XDG_RUNTIME_DIR' >&2); then
    echo "demo: the window's run on $b failed" >&2
    status=1
  fi
done
point "${bus:-modbus}"
echo "== the pictures are in $shots/ (${bus:-modbus, profibus, bench})"
exit "$status"
