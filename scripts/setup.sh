#!/usr/bin/env bash
# Sets up a Debian 12 machine for Tavrin and builds it: installs the Debian
# packages that are missing (nothing when all are there), configures and
# builds the default preset. Quick when nothing changed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(
  g++ cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev qt6-charts-dev libxcb1-dev
  fonts-liberation xvfb xauth
  libmodbus-dev python3-pymodbus socat poppler-utils
  liblua5.4-dev
  dpkg-dev qt6-qpa-plugins
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}" >&2
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >&2; then
    $sudo apt-get update -q >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >&2
  fi
fi

if [ ! -f build/build.ninja ]; then
  cmake --preset default >&2
fi
cmake --build --preset default >&2
