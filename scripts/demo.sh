#!/usr/bin/env bash
# Sets everything up, builds, creates the demo site and runs the installer on it.
# With a display the wizard opens; without one the installation runs unattended (/quiet) and
# the verdict and the paths of the log file and logbook are printed.
# The demo build talks to a local maker's site (tivra-maker-site) on 127.0.0.1:$DEMO_PORT, started
# here for the run and stopped afterwards: the run's final report lands in demo/maker-site/uploads.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The demo has a build folder of its own: its site addresses and signing key are compiled in, and
# the test build stays as the tests expect it.
BUILD_DIR=${BUILD_DIR:-build-demo}
DEMO_PORT=${DEMO_PORT:-18765}
# The demo goes through the signed path as a production build does: a key of its own (made once,
# kept in the build folder) is compiled in, and everything its maker's site publishes is signed.
mkdir -p "$BUILD_DIR"
DEMO_KEY="$BUILD_DIR/demo-signing-key.pem"
[ -s "$DEMO_KEY" ] || openssl genpkey -algorithm ed25519 -out "$DEMO_KEY"
DEMO_PUBLIC_KEY=$(openssl pkey -in "$DEMO_KEY" -pubout -outform DER | tail -c 32 | od -An -tx1 | tr -d ' \n')
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRA_GUI=ON \
  -DTIVRA_MAKER_SITE="http://127.0.0.1:$DEMO_PORT/" -DTIVRA_PACKAGE_REPOSITORY="http://127.0.0.1:$DEMO_PORT/repo/" \
  -DTIVRA_SIGNING_PUBLIC_KEY="$DEMO_PUBLIC_KEY"
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tivra-installer tivra-pack tivra-credential tivra-demo-db tivra-maker-site tivra-pe-file
SITE=$(bash tools/demo/make-site.sh "$BUILD_DIR" demo)
echo "Demo site: $SITE"
# Every file the demo's maker's site publishes gets its detached signature (FILE.sig), and so
# does the sample package beside the installer (a package taken from disk is checked too).
MAKER="$SITE/maker-site"
for published in "$MAKER"/repo/*/Update.pack "$MAKER/repo/VersaoInstaller.txt" "$MAKER/repo/Installer.exe" \
                 "$SITE/installer/Update.pack"; do
  if [ -f "$published" ]; then
    "$BUILD_DIR/tools/pack/tivra-pack" --sign "$DEMO_KEY" "$published" > /dev/null
  fi
done

# The local maker's site: log collection endpoints and the package repository.
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
