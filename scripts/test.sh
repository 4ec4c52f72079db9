#!/usr/bin/env bash
# Sets everything up (scripts/setup.sh) and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cd "$root"
ctest --preset default
