#!/usr/bin/env bash
# Sets everything up, builds, creates the demo site and runs the installer on it.
# With a display the wizard opens; without one the installation runs unattended (/quiet) and
# the verdict and the paths of the log file and logbook are printed.
# The demo build talks to a local maker's site (tivra-maker-site) on 127.0.0.1:$DEMO_PORT, started
# here for the run and stopped afterwards: the run's final report lands in demo/maker-site/uploads.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
DEMO_PORT=${DEMO_PORT:-18765}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRA_GUI=ON \
  -DTIVRA_MAKER_SITE="http://127.0.0.1:$DEMO_PORT/" -DTIVRA_PACKAGE_REPOSITORY="http://127.0.0.1:$DEMO_PORT/repo/"
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tivra-installer tivra-pack tivra-credential tivra-demo-db tivra-maker-site tivra-pe-file
SITE=$(bash tools/demo/make-site.sh "$BUILD_DIR" demo)
echo "Demo site: $SITE"

# The local maker's site: log collection endpoints and the package repository.
MAKER="$SITE/maker-site"
mkdir -p "$MAKER/repo"
"$BUILD_DIR/tools/makersite/tivra-maker-site" "$MAKER" "$DEMO_PORT" "$(sed -n 's/^TIVRA_USERLIST_TOKEN:STRING=//p' "$BUILD_DIR/CMakeCache.txt")" > "$MAKER/address.txt" &
MAKER_PID=$!
trap 'kill "$MAKER_PID" 2>/dev/null || true; wait "$MAKER_PID" 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  [ -s "$MAKER/address.txt" ] && break
  kill -0 "$MAKER_PID" 2>/dev/null || { echo "The local maker's site could not start on port $DEMO_PORT (set DEMO_PORT to a free port)." >&2; exit 1; }
  sleep 0.1
done
echo "Local maker's site: $(cat "$MAKER/address.txt")"

cd "$SITE/installer"
set +e
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  ./tivra-installer /noupdate
  status=$?
else
  echo "No display: running the installation unattended (/quiet)."
  ./tivra-installer /quiet /noupdate
  status=$?
  echo "Exit status: $status (0 completed, 1 completed with failures, 2 interrupted, 3 not started, 4 installer folder not writable, 5 another installer running, 6 replaced by a newer installer that runs in its place)"
fi
set -e
if ls "$MAKER/uploads/"*-logs.bin > /dev/null 2>&1; then
  echo "Final report received by the local maker's site: $(ls "$MAKER/uploads/"*-logs.bin | tail -n 1)"
fi
exit $status
