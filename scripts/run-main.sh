#!/usr/bin/env bash
# Set-up and the main job: installs what is missing, builds, and talks to the virtual camera.
set -euo pipefail
cd "$(dirname "$0")/.."
ORVEX_WITH_WINDOWS=0 scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
build/default/tools/orvex/orvex info
