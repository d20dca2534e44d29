#!/usr/bin/env bash
# Sets everything up, builds, creates the demo site and runs the installer on it.
# With a display the wizard opens; without one the installation runs unattended (/quiet) and
# the verdict and the paths of the log file and logbook are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRA_GUI=ON
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tivra-installer tivra-pack tivra-credential tivra-demo-db
SITE=$(bash tools/demo/make-site.sh "$BUILD_DIR" demo)
echo "Demo site: $SITE"
cd "$SITE/installer"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./tivra-installer /noupdate
fi
echo "No display: running the installation unattended (/quiet)."
set +e
./tivra-installer /quiet /noupdate
status=$?
set -e
echo "Exit status: $status (0 completed, 1 completed with failures, 2 interrupted, 3 not started)"
exit $status
