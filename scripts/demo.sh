#!/usr/bin/env bash
# Sets everything up, builds, creates the demo site and runs the installer on it.
# With a display the wizard opens; without one the pages are rendered offscreen into
# demo/screenshots and their paths printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRA_GUI=ON
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tivra-installer tivra-pack 2>/dev/null \
  || cmake --build "$BUILD_DIR" -j"$(nproc)"
SITE=$(bash tools/demo/make-site.sh "$BUILD_DIR" demo)
echo "Demo site: $SITE"
cd "$SITE/installer"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./tivra-installer /noupdate
fi
echo "No display: rendering the wizard offscreen."
QT_QPA_PLATFORM=offscreen ./tivra-installer /noupdate "/screenshots:$SITE/screenshots"
