#!/usr/bin/env bash
# Set-up and the main job: installs what is missing, builds, and takes a colour snapshot of the
# virtual camera's test chart into snapshot.png (settings go to a private directory, so the
# user's own stay untouched).
set -euo pipefail
cd "$(dirname "$0")/.."
ORVEX_WITH_WINDOWS=0 scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
export XDG_CONFIG_HOME="$PWD/build/default/demo-settings"
build/default/tools/orvex/orvex info
build/default/tools/orvex/orvex snap --color-mode 32 --out snapshot.png
