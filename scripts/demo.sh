#!/usr/bin/env bash
# Sets everything up (scripts/setup.sh) and runs the program's main job.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
dist="$root/build/dist"
echo "The program folder $dist holds:"
(cd "$dist" && find . -mindepth 1 | sort | sed 's|^\./|  |')
