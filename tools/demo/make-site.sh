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
Util.dll=3.0.0.0

[Aliases]
TIVRA_PROD,L=Produção
TIVRA_HML=Homologação
INI

# Real versioned executables and libraries (PE images written by tivra-pe-file), so that the
# run shows the version rule at work: the package brings Cadastro.exe 1.1.0.0 over the installed
# 1.0.0.0 (replaced), Util.dll 2.0.0.0 where 3.0.0.0 is installed (kept, the installed one is
# newer) and Consulta.exe, which the application directory does not have yet (new).
PE_FILE="$BUILD_DIR/tools/pewriter/tivra-pe-file"
PACKAGE="$HERE/package"
if [ -x "$PE_FILE" ] && [ -d "$HERE/package" ]; then
  "$PE_FILE" "$APP/Producao/Bin/Clients/Cadastro.exe" 1.0.0.0 exe
  "$PE_FILE" "$APP/Bibliotecas/Util.dll" 3.0.0.0 dll
  PACKAGE="$SITE_DIR/package-source"
  cp -r "$HERE/package" "$PACKAGE"
  "$PE_FILE" "$PACKAGE/AppTivra/Producao/Bin/Clients/Cadastro.exe" 1.1.0.0 exe
  "$PE_FILE" "$PACKAGE/AppTivra/Producao/Bin/Clients/Consulta.exe" 1.1.0.0 exe
  "$PE_FILE" "$PACKAGE/AppTivra/Bibliotecas/Util.dll" 2.0.0.0 dll
  sed -i 's/^\[BinaryToCopy\]\r$/&\nAppTivra\\Producao\\Bin\\Clients\\Cadastro.exe=\r\nAppTivra\\Producao\\Bin\\Clients\\Consulta.exe=\r\nAppTivra\\Bibliotecas\\Util.dll=\r/' \
    "$PACKAGE/Config.ini"
else
  printf 'demo client\n' > "$APP/Producao/Bin/Clients/Cadastro.exe"
  printf 'demo library\n' > "$APP/Bibliotecas/Util.dll"
fi

# The sample package, built with the package builder when the demo package source is there.
if [ -x "$BUILD_DIR/tools/pack/tivra-pack" ] && [ -d "$PACKAGE" ]; then
  "$BUILD_DIR/tools/pack/tivra-pack" "$PACKAGE" "$INSTALLER/Update.pack" > /dev/null
fi

# The local maker's site of the demo (served by tivra-maker-site from $SITE_DIR/maker-site): a
# package repository with four versions (the demo package 1.0.001 for every customer, 1.0.002
# for the demo customer 0042, 1.1.000 for another customer only, 1.0.003 not published), the
# support site's user list (user "demo", password "demo", customer 0042) and the installer's
# published version and executable.
MAKER="$SITE_DIR/maker-site"
REPO="$MAKER/repo"
mkdir -p "$REPO"
if [ -x "$BUILD_DIR/tools/pack/tivra-pack" ] && [ -d "$PACKAGE" ]; then
  WORK=$(mktemp -d)
  for version in 1.0.001 1.0.002 1.1.000 1.0.003; do
    rm -rf "$WORK/package"
    cp -r "$PACKAGE" "$WORK/package"
    sed -i "s/^VersaoPacote=[^\r]*/VersaoPacote=$version/" "$WORK/package/Config.ini"
    mkdir -p "$REPO/$version"
    "$BUILD_DIR/tools/pack/tivra-pack" "$WORK/package" "$REPO/$version/Update.pack" > /dev/null
    printf 'Pacote de demonstração %s.\nCorreções e melhorias do Tivra*.\n' "$version" | ansi > "$REPO/$version/ChangeLog.txt"
  done
  rm -rf "$WORK"
  size() { stat -c %s "$REPO/$1/Update.pack"; }
  {
    echo "1.0.001=$(size 1.0.001)=Todos=demo=S"
    echo "1.0.002=$(size 1.0.002)=0042;0050=demo=S"
    echo "1.1.000=$(size 1.1.000)=0099=outro cliente=S"
    echo "1.0.003=$(size 1.0.003)=Todos=em preparação=N"
  } | ansi > "$REPO/Versoes.txt"
fi
printf 'DEMO,%s,0042<BR>OUTRO,%s,0099<BR>' "$(printf demo | md5sum | cut -d' ' -f1)" \
  "$(printf outro | md5sum | cut -d' ' -f1)" > "$MAKER/users.txt"
# The installer's published version: the project's version, so the demo installer is current.
sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$HERE/../../CMakeLists.txt" | tr -d '\n' > "$REPO/VersaoInstaller.txt"
cp "$BUILD_DIR/src/gui/tivra-installer" "$REPO/Installer.exe"

bash "$HERE/databases/make-databases.sh" "$BUILD_DIR" "$INSTALLER"  # registry export, Drivers.ini, embedded databases

echo "$SITE_DIR"
