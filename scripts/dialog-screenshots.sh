#!/usr/bin/env bash
# Draws every dialog and page of the camera library in English and in Japanese on a virtual X
# server, with the dialogs' own procedures over a stand-in camera, and saves the pictures as
# docs/images/dialog-<name>-<en|ja>.png for the documentation; then runs orvex preview on the
# virtual camera and saves the viewer (docs/images/viewer.png) and each dialog opened over it
# with its key (docs/images/viewer-<camera|analog|image>-<en|ja>.png). Pass a preset name to
# build with another one.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target orvex_dialog_screenshots orvex_viewer_screenshots
for program in orvex_dialog_screenshots orvex_viewer_screenshots; do
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "build/$preset/tests/x11/$program" docs/images
done
