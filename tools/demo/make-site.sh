#!/usr/bin/env bash
# Creates the demo site: an installer folder (the installer, its Config.ini and the sample
# Update.pack) and an application directory with its versions file.
#   make-site.sh BUILD_DIR SITE_DIR
set -euo pipefail
BUILD_DIR=$(cd "$1" && pwd)
SITE_DIR=$2
HERE=$(cd "$(dirname "$0")" && pwd)

rm -rf "$SITE_DIR"
mkdir -p "$SITE_DIR"
SITE_DIR=$(cd "$SITE_DIR" && pwd)
INSTALLER="$SITE_DIR/installer"
APP="$SITE_DIR/Sistema/AppTivra"
mkdir -p "$INSTALLER" "$APP/Executaveis" "$APP/Producao/Bin/Clients" "$APP/Bibliotecas"

cp "$BUILD_DIR/src/gui/tivra-installer" "$INSTALLER/"

# Windows-1252 text with CR LF line ends, as the product's own files are.
ansi() { iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/'; }

ansi > "$INSTALLER/Config.ini" <<INI
[AppTivra]
Path=$APP
INI

ansi > "$APP/Executaveis/Versoes.ini" <<'INI'
[Componentes]
Cadastro.exe=1.0.0.0

[Bibliotecas]
Util.dll=1.0.0.0

[Aliases]
TIVRA_PROD,L=Produção
TIVRA_HML=Homologação
INI

printf 'demo client\n' > "$APP/Producao/Bin/Clients/Cadastro.exe"
printf 'demo library\n' > "$APP/Bibliotecas/Util.dll"

# The sample package, built with the package builder when the demo package source is there.
if [ -x "$BUILD_DIR/tools/pack/tivra-pack" ] && [ -d "$HERE/package" ]; then
  "$BUILD_DIR/tools/pack/tivra-pack" "$HERE/package" "$INSTALLER/Update.pack" > /dev/null
fi

bash "$HERE/databases/make-databases.sh" "$BUILD_DIR" "$INSTALLER"  # registry export, Drivers.ini, embedded databases

echo "$SITE_DIR"
