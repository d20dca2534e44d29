// ReadAliases: the versions file's section "Aliases" and the registry make the databases list.
#include "db/aliases.h"
#include "db/credentials.h"
#include "dbtest.h"

#include <gtest/gtest.h>

using namespace tivra;
using testsupport::DbSite;

namespace {

class Aliases : public ::testing::Test {
protected:
    // A registry export with one key per alias: values enciphered with the build's keys.
    void registry(const QList<QStringList> &keys, const QByteArray &extra = {})
    {
        QByteArray reg = "REGEDIT4\r\n\r\n";
        for (const QStringList &k : keys) {
            reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\" + k.at(0).toUtf8() + "]\r\n";
            reg += "\"UserName\"=\"" + k.at(1).toUtf8() + "\"\r\n";
            reg += "\"Password\"=\"" + k.at(2).toUtf8() + "\"\r\n";
            reg += "\"DbHost\"=\"" + k.at(3).toUtf8() + "\"\r\n";
            reg += "\"DBVendor\"=\"" + k.at(4).toUtf8() + "\"\r\n\r\n";
        }
        reg += extra;
        site.site.writeFile(QStringLiteral("installer/registry.reg"), reg);
    }
    QString user(const QString &plain) const { return EncodeCredential(plain, site.session.build.credentialKeyUser); }
    QString pass(const QString &plain) const { return EncodeCredential(plain, site.session.build.credentialKeyPassword); }
    QString field(int row, const char *name) const { return site.session.cdsDbs.text(row, QLatin1String(name)); }
    // ReadAliases, returning the error text when it raised one.
    QString read()
    {
        try {
            ReadAliases(site.session);
        } catch (const std::exception &error) {
            return QString::fromUtf8(error.what());
        }
        return {};
    }

    DbSite site;
};

}  // namespace

TEST_F(Aliases, EntriesFromTheVersionsFileAndTheRegistry)
{
    site.site.writeVersoesIni("[Componentes]\r\nA.exe=1\r\n[Aliases]\r\nPROD,L=Produ\xe7\xe3o\r\nHML=Homologa\xe7\xe3o\r\nA=B,L=C\r\nSEMCHAVE=Sem registro\r\n");
    registry({{QStringLiteral("PROD"), user(QStringLiteral("tivra")), pass(QStringLiteral("s3cr3t")), QStringLiteral("dbsrv01"), QStringLiteral("ORACLE")},
              {QStringLiteral("HML"), QString(), pass(QStringLiteral("x")), QStringLiteral("h"), QStringLiteral("MSSQL")}});
    EXPECT_EQ(read(), QString());
    const MemTable &dbs = site.session.cdsDbs;
    ASSERT_EQ(dbs.count(), 4);
    EXPECT_EQ(field(0, "ALIAS"), QStringLiteral("PROD"));
    EXPECT_EQ(field(0, "DESCRICAO"), QStringLiteral("Produção"));
    EXPECT_EQ(field(0, "LOGIN"), QStringLiteral("tivra"));
    EXPECT_EQ(field(0, "PASSWORD"), QStringLiteral("s3cr3t"));
    EXPECT_EQ(field(0, "DBHOST"), QStringLiteral("dbsrv01"));
    EXPECT_EQ(field(0, "VENDOR"), QStringLiteral("ORACLE"));
    EXPECT_EQ(dbs.integer(0, QStringLiteral("IMAGE")), 0);
    EXPECT_EQ(field(1, "ALIAS"), QStringLiteral("HML"));
    EXPECT_EQ(field(1, "LOGIN"), QString());  // an empty UserName value is no error
    EXPECT_EQ(field(2, "ALIAS"), QStringLiteral("A=B"));
    EXPECT_EQ(field(2, "DESCRICAO"), QStringLiteral("C"));
    EXPECT_EQ(field(3, "ALIAS"), QStringLiteral("SEMCHAVE"));
    EXPECT_EQ(field(3, "VENDOR"), QString());
    EXPECT_EQ(dbs.integer(3, QStringLiteral("PORTA")), 0);
    EXPECT_EQ(dbs.integer(3, QStringLiteral("MAX_PACK_COMPLETE")), 0);
    EXPECT_EQ(site.logCount(QStringLiteral("Lendo Aliases de \"") + site.session.pathAppTivra + QStringLiteral("\".")), 1);
    EXPECT_EQ(site.logText().count(QStringLiteral("s3cr3t")), 0);

    // Reading again (the "Recarregar" button) forgets what the user typed and the states.
    site.session.cdsDbs.setValue(0, QStringLiteral("LOGIN"), QStringLiteral("outro"));
    site.session.cdsDbs.setValue(0, QStringLiteral("IMAGE"), 2);
    EXPECT_EQ(read(), QString());
    EXPECT_EQ(dbs.count(), 4);
    EXPECT_EQ(field(0, "LOGIN"), QStringLiteral("tivra"));
    EXPECT_EQ(dbs.integer(0, QStringLiteral("IMAGE")), 0);
}

TEST_F(Aliases, LongValuesAreCutToTheFieldWidths)
{
    const QString alias(120, QLatin1Char('X'));
    site.site.writeVersoesIni("[Aliases]\r\n" + alias.toUtf8() + "=Longo\r\n");
    registry({{alias, user(QString(40, QLatin1Char('u'))), pass(QStringLiteral("p")), QString(30, QLatin1Char('h')), QStringLiteral("DB2")}});
    EXPECT_EQ(read(), QString());
    EXPECT_EQ(field(0, "ALIAS").size(), 100);
    EXPECT_EQ(field(0, "DBHOST").size(), 20);
    EXPECT_EQ(field(0, "LOGIN").size(), 30);
}

TEST_F(Aliases, NoVersionsFileOrNoSectionGivesAnEmptyList)
{
    site.session.cdsDbs.append({{QStringLiteral("ALIAS"), QStringLiteral("VELHO")}});
    EXPECT_EQ(read(), QString());
    EXPECT_TRUE(site.session.cdsDbs.isEmpty());
    EXPECT_TRUE(site.log().isEmpty());  // nothing reported without a versions file
    site.site.writeVersoesIni("[Componentes]\r\nA.exe=1\r\n");
    EXPECT_EQ(read(), QString());
    EXPECT_TRUE(site.session.cdsDbs.isEmpty());
}

TEST_F(Aliases, DecipheringErrorsStopTheReadingAndKeepEarlierEntries)
{
    site.site.writeVersoesIni("[Aliases]\r\nBOM=Bom\r\nRUIM=Ruim\r\nDEPOIS=Depois\r\n");
    registry({{QStringLiteral("BOM"), user(QStringLiteral("a")), pass(QStringLiteral("b")), QString(), QStringLiteral("DB2")},
              {QStringLiteral("RUIM"), QStringLiteral("abc!def"), pass(QStringLiteral("b")), QString(), QStringLiteral("DB2")},
              {QStringLiteral("DEPOIS"), user(QStringLiteral("a")), pass(QStringLiteral("b")), QString(), QStringLiteral("DB2")}});
    EXPECT_EQ(read(), QStringLiteral("Blowfish: Error converting from Base64 - invalid character"));
    ASSERT_EQ(site.session.cdsDbs.count(), 1);
    EXPECT_EQ(field(0, "ALIAS"), QStringLiteral("BOM"));

    registry({{QStringLiteral("BOM"), user(QStringLiteral("a")), QStringLiteral("abcdef"), QString(), QStringLiteral("DB2")}});
    EXPECT_EQ(read(), QStringLiteral("Blowfish: Input not valid - too short"));
    EXPECT_TRUE(site.session.cdsDbs.isEmpty());

    registry({{QStringLiteral("BOM"), user(QStringLiteral("a")) + QStringLiteral("AAAA"), pass(QStringLiteral("b")), QString(), QStringLiteral("DB2")}});
    EXPECT_EQ(read(), QStringLiteral("Blowfish: Input not valid - length is not a multiple of 8 bytes"));
}

TEST_F(Aliases, RegistryValueOfAnotherTypeIsAnError)
{
    site.site.writeVersoesIni("[Aliases]\r\nPROD=Prod\r\n");
    registry({}, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n\"UserName\"=dword:00000001\r\n");
    EXPECT_FALSE(read().isEmpty());
    EXPECT_TRUE(site.session.cdsDbs.isEmpty());
}
