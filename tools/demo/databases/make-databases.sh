#!/usr/bin/env bash
# Adds the databases of the demo site to an installer folder: the registry export registry.reg
# (the two aliases' user names and passwords enciphered with this build's keys), Drivers.ini
# sending every vendor to the embedded transport, and the embedded databases in Databases/:
#   TIVRA_PROD  Oracle  user tivra  password Prod#2024
#   TIVRA_HML   DB2     user DBSM   password Hml#2024
#   make-databases.sh BUILD_DIR INSTALLER_DIR
set -euo pipefail
BUILD_DIR=$(cd "$1" && pwd)
INSTALLER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
CREDENTIAL="$BUILD_DIR/tools/credential/tivra-credential"
DEMODB="$BUILD_DIR/tools/demo/databases/tivra-demo-db"
if [ ! -x "$CREDENTIAL" ] || [ ! -x "$DEMODB" ]; then
  cmake --build "$BUILD_DIR" --target tivra-credential tivra-demo-db > /dev/null
fi

# Windows-1252 text with CR LF line ends, as the product's own files are.
ansi() { iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/'; }

mkdir -p "$INSTALLER/Databases"
ansi > "$INSTALLER/Drivers.ini" <<'INI'
; How the installer reaches each vendor's databases. This demo uses the embedded emulation:
; one SQLite file <ALIAS>.db per database in the folder below.
[ORACLE]
Transport=Embedded
Folder=Databases

[DB2]
Transport=Embedded
Folder=Databases

[MSSQL]
Transport=Embedded
Folder=Databases
INI

"$DEMODB" "$INSTALLER/Databases/TIVRA_PROD.db" ORACLE tivra 'Prod#2024' \
  SYSTEM,SYSAUX,USERS,TEMP,TS_TIVRA_DADOS,TS_TIVRA_INDICES "$HERE/schema.sql" "$HERE/data.sql" "$HERE/oracle.sql"
"$DEMODB" "$INSTALLER/Databases/TIVRA_HML.db" DB2 DBSM 'Hml#2024' \
  SYSCATSPACE,TEMPSPACE1,USERSPACE1,TSDADOS,TSINDICES "$HERE/schema.sql" "$HERE/data.sql" "$HERE/db2.sql"

key() {  # alias vendor host user password
  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\%s]\n' "$1"
  printf '"UserName"="%s"\n' "$("$CREDENTIAL" user "$4")"
  printf '"Password"="%s"\n' "$("$CREDENTIAL" password "$5")"
  printf '"DbHost"="%s"\n' "$3"
  printf '"DBVendor"="%s"\n\n' "$2"
}
{
  printf 'REGEDIT4\n\n'
  key TIVRA_PROD ORACLE dbprod01 tivra 'Prod#2024'
  key TIVRA_HML DB2 dbhml01 DBSM 'Hml#2024'
} | ansi > "$INSTALLER/registry.reg"
