#!/usr/bin/env bash
# The demo on the Windows build, under Wine: the demo site of make-site.sh (its package, versioned
# files and embedded databases made by the Linux build's tools), the installer folder replaced by
# the Windows distribution folder (cmake --install), the aliases imported into the Wine prefix's
# registry, and the unattended run (/quiet) against the local maker's site (the Linux program).
#   windows-demo.sh WIN_BUILD_DIR LINUX_BUILD_DIR SITE_DIR PORT
# Prints the verdict, the exit status and where the log file, the logbook and the final report are.
set -euo pipefail
WIN_BUILD=$(cd "$1" && pwd)
LINUX_BUILD=$(cd "$2" && pwd)
SITE_DIR=$3
PORT=$4
HERE=$(cd "$(dirname "$0")" && pwd)
WINE_RUN="$WIN_BUILD/wine-run"

# A Wine prefix of the site's own, and nothing but the distribution folder to load libraries
# from: a library missing from the folder fails the run.
export TIVRA_WINE_NO_KIT=1

# A path as the Windows side sees it (Wine's drive Z: is the Linux root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
ansi() { iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/'; }

SITE=$(bash "$HERE/make-site.sh" "$LINUX_BUILD" "$SITE_DIR")
export WINEPREFIX="$SITE/wine-prefix"
"$WINE_RUN" cmd /c exit 0 > /dev/null 2>&1 || true  # makes the prefix
/usr/lib/wine/wineserver -p 2>/dev/null || true
INSTALLER="$SITE/installer"
rm -f "$INSTALLER/tivra-installer"
cmake --install "$WIN_BUILD" --prefix "$INSTALLER" > "$SITE/install.log"
cp "$INSTALLER/tivra-installer.exe" "$SITE/maker-site/repo/Installer.exe"
# The application directory as a Windows path.
printf '[AppTivra]\nPath=%s\n' "$(winpath "$SITE/Sistema/AppTivra")" | ansi > "$INSTALLER/Config.ini"

# The aliases into the registry of the prefix, in the 32-bit view the installer reads.
sed 's/\\SOFTWARE\\Morvane\\/\\SOFTWARE\\WOW6432Node\\Morvane\\/' "$INSTALLER/registry.reg" > "$SITE/registry-win.reg"
"$WINE_RUN" regedit /S "$(winpath "$SITE/registry-win.reg")"
rm -f "$INSTALLER/registry.reg"

MAKER="$SITE/maker-site"
"$LINUX_BUILD/tools/makersite/tivra-maker-site" "$MAKER" "$PORT" \
  "$(sed -n 's/^TIVRA_USERLIST_TOKEN:STRING=//p' "$WIN_BUILD/CMakeCache.txt")" > "$MAKER/address.txt" &
MAKER_PID=$!
trap 'kill "$MAKER_PID" 2>/dev/null || true; wait "$MAKER_PID" 2>/dev/null || true; /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  [ -s "$MAKER/address.txt" ] && break
  kill -0 "$MAKER_PID" 2>/dev/null || { echo "The local maker's site could not start on port $PORT." >&2; exit 1; }
  sleep 0.1
done
echo "Demo site (Windows build): $SITE"
echo "Local maker's site: $(cat "$MAKER/address.txt")"

cd "$INSTALLER"
set +e
# Wine waits for the program and gives its exit status; standard error holds the message boxes
# of the unattended run.
"$WINE_RUN" tivra-installer.exe /quiet /noupdate
status=$?
set -e
echo "Exit status: $status (0 completed, 1 completed with failures, 2 interrupted, 3 not started, 4 installer folder not writable, 5 another installer running, 6 replaced by a newer installer)"
if ls "$MAKER/uploads/"*-logs.bin > /dev/null 2>&1; then
  echo "Final report received by the local maker's site: $(ls "$MAKER/uploads/"*-logs.bin | tail -n 1)"
fi

# What the run must have left: exit status 0, a log file and a logbook in Windows-1252 with CR LF,
# the final report and the structure models at the maker's site.
problems=()
[ "$status" -eq 0 ] || problems+=("exit status $status instead of 0")
LOG=$(ls -t "$INSTALLER"/Log/*_Log_*.txt 2>/dev/null | head -n 1 || true)
BOOK=$(ls -t "$INSTALLER"/Log/ManualBordo_*.txt 2>/dev/null | head -n 1 || true)
if [ -z "$LOG" ]; then
  problems+=("no log file in $INSTALLER/Log")
else
  iconv -f WINDOWS-1252 -t UTF-8 "$LOG" | grep -q "Procedimento de Atualização Finalizado" || problems+=("the log file does not end with \"Procedimento de Atualização Finalizado\" in Windows-1252")
  [ "$(grep -c $'\r$' "$LOG")" -eq "$(wc -l < "$LOG")" ] || problems+=("the log file has lines not ended by CR LF")
fi
[ -n "$BOOK" ] || problems+=("no logbook in $INSTALLER/Log")
ls "$MAKER/uploads/"*-logs.bin > /dev/null 2>&1 || problems+=("the maker's site received no final report")
ls "$MAKER/uploads/"*-models.bin > /dev/null 2>&1 || problems+=("the maker's site received no structure model")
if [ ${#problems[@]} -gt 0 ]; then
  printf 'windows demo: %s\n' "${problems[@]}" >&2
  exit 1
fi
echo "windows demo: exit status, log file ($LOG), logbook ($BOOK), final report and structure models checked"

# The wizard's pages drawn by the Windows build (offscreen), kept beside the build.
SHOTS="$WIN_BUILD/screenshots/demo"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
QT_QPA_PLATFORM=offscreen "$WINE_RUN" tivra-installer.exe /noupdate /nosendlog "/screenshots:$(winpath "$SHOTS")" > /dev/null 2>&1 || true
echo "windows demo: $(ls "$SHOTS" | wc -l) screenshots of the wizard in $SHOTS"
exit 0
