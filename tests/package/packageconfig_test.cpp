#include "package/packageconfig.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include "core/session.h"

#include <gtest/gtest.h>

namespace tivra {
namespace {

using namespace packagetest;
using testsupport::PackageBuilder;

const QString kFullConfig = QStringLiteral(
    "[ConfigSQL]\nSQLDelimiter=/\n"
    "[Outros]\nVersaoPacote=2.3.004\nVersaoRequerida=2.3.000\nIgnorarVersao=1\nPackCorrecao=1\nExistBin=1\n"
    "ExistScript=1\nExistCatalogo=1\nExistMsg=1\nExistRotulo=1\nExistRestrFunc=1\n"
    "[Componentes]\nTivraServer=TivraServer;Srv1.dll;Srv2.dll\nTivraRel=TivraRel;Rel.dll\n"
    "[BinaryToCopy]\nAppTivra\\Producao\\Bin\\Srv1.dll=\nAppTivra\\Producao\\Bin\\Rel.dll=x\n"
    "[DependenciasDB2]\n1=S\n2=N\n[DependenciasOracle]\n1=N\n[DependenciasMSSQL]\n1=S\n"
    "[TableSpaces]\nTS_DADOS=\nTS_INDICES=qualquer\n");

class LoadIniConfigTest : public ::testing::Test {
protected:
    LoadIniConfigTest() : m_session(m_ui)
    {
        m_session.installerDirectory = m_site.installerDirectory();
        m_session.workingFolder = m_session.installerDirectory + QStringLiteral("tmp");
    }

    // A package as the maker builds it, with every member this loader reads.
    PackageBuilder fullPackage() const
    {
        PackageBuilder builder;
        builder.config(kFullConfig)
            .addText(QStringLiteral("ChangeLog"), QStringLiteral("Versão 2.3.004\nCorreção de relatórios\n"))
            .add(QStringLiteral("ScriptsOracle.sql"), "CREATE TABLE A (X INT);\r\nCOMMIT;\r\n")
            .add(QStringLiteral("ScriptsDB2.sql"), "L1\nL2\rL3\r\nL4")
            .add(QStringLiteral("ScriptsMSSQL.sql"), "SELECT 1;\r\nGO\r\n")
            .add(QStringLiteral("Manual.pdf"), "%PDF-1.4 manual 2.3.004")
            .add(QStringLiteral("AppTivra\\Producao\\Bin\\Srv1.dll"), "binario");
        return builder;
    }

    void load(const PackageBuilder &package)
    {
        package.writeUpdatePack(m_session.installerDirectory);
        LoadIniConfig(m_session);
    }

    QString installed(const QString &name) const { return m_session.installerDirectory + name; }

    testsupport::TestSite m_site;
    testsupport::ScriptedUserInterface m_ui;
    InstallerSession m_session;
};

TEST_F(LoadIniConfigTest, ReadsEverySettingScriptManualAndChangeLog)
{
    load(fullPackage());
    const PackageSettings &p = m_session.package;
    EXPECT_EQ(p.sqlDelimiter, QStringLiteral("/"));
    EXPECT_EQ(p.versaoPacote, QStringLiteral("2.3.004"));
    EXPECT_EQ(p.versaoRequerida, QStringLiteral("2.3.000"));
    EXPECT_TRUE(p.ignorarVersao && p.packCorrecao && p.existBin && p.existScript && p.existCatalogo && p.existMsg
                && p.existRotulo && p.existRestrFunc);
    EXPECT_EQ(p.componentes, (QStringList{QStringLiteral("TivraServer=TivraServer;Srv1.dll;Srv2.dll"),
                                          QStringLiteral("TivraRel=TivraRel;Rel.dll")}));
    EXPECT_EQ(p.binaryToCopy, (QStringList{QStringLiteral("AppTivra\\Producao\\Bin\\Srv1.dll"),
                                           QStringLiteral("AppTivra\\Producao\\Bin\\Rel.dll")}));
    EXPECT_EQ(p.dependenciasDB2, (QStringList{QStringLiteral("1=S"), QStringLiteral("2=N")}));
    EXPECT_EQ(p.dependenciasOracle, QStringList{QStringLiteral("1=N")});
    EXPECT_EQ(p.dependenciasMSSQL, QStringList{QStringLiteral("1=S")});
    EXPECT_EQ(p.tableSpaces, (QStringList{QStringLiteral("TS_DADOS"), QStringLiteral("TS_INDICES")}));
    EXPECT_EQ(p.scriptOracle, (QStringList{QStringLiteral("CREATE TABLE A (X INT);"), QStringLiteral("COMMIT;")}));
    EXPECT_EQ(p.scriptDB2, (QStringList{QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3"), QStringLiteral("L4")}));
    EXPECT_EQ(p.scriptMSSQL, (QStringList{QStringLiteral("SELECT 1;"), QStringLiteral("GO")}));
    EXPECT_EQ(m_session.changeLog, QStringLiteral("Versão 2.3.004\r\nCorreção de relatórios\r\n"));
    EXPECT_EQ(readBytes(installed(QStringLiteral("Manual.pdf"))), "%PDF-1.4 manual 2.3.004");
    EXPECT_TRUE(m_session.manualButtonVisible);
    EXPECT_EQ(m_session.manualButtonCaption, QStringLiteral("Manual da Versão 2.3.004"));
    EXPECT_TRUE(m_session.status.logText().isEmpty());
    // Only the members named above are unpacked.
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder + QStringLiteral("/AppTivra")));
}

// A second package replaces everything the first one left: settings, lists, scripts, change log
// and manual; missing keys fall back to their defaults.
TEST_F(LoadIniConfigTest, SecondPackageReplacesEverything)
{
    load(fullPackage());
    LoadIniConfig(m_session);  // the working folder now holds the first package's members
    load(PackageBuilder().config(QStringLiteral("[Outros]\nExistBin=S\n")).add(QStringLiteral("ScriptsDB2.sql"), "NOVO"));

    const PackageSettings &p = m_session.package;
    const PackageSettings defaults;
    EXPECT_EQ(p.versaoPacote, QStringLiteral("0.0.001"));
    EXPECT_EQ(p.versaoRequerida, defaults.versaoRequerida);
    EXPECT_EQ(p.sqlDelimiter, QStringLiteral(";"));
    EXPECT_FALSE(p.ignorarVersao || p.packCorrecao || p.existBin || p.existScript || p.existCatalogo || p.existMsg
                 || p.existRotulo || p.existRestrFunc);
    EXPECT_TRUE(p.componentes.isEmpty() && p.binaryToCopy.isEmpty() && p.dependenciasDB2.isEmpty()
                && p.dependenciasOracle.isEmpty() && p.dependenciasMSSQL.isEmpty() && p.tableSpaces.isEmpty());
    EXPECT_TRUE(p.scriptOracle.isEmpty() && p.scriptMSSQL.isEmpty());
    EXPECT_EQ(p.scriptDB2, QStringList{QStringLiteral("NOVO")});
    EXPECT_EQ(m_session.changeLog, QString());
    EXPECT_FALSE(m_session.manualButtonVisible);
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("Manual.pdf"))));
}

TEST_F(LoadIniConfigTest, BooleansAreIntegersOnly)
{
    const QString ini = m_site.root() + QStringLiteral("/Config.ini");
    const QList<QPair<QString, bool>> cases{{QStringLiteral("1"), true},    {QStringLiteral("5"), true},
                                            {QStringLiteral("0x1"), true},  {QStringLiteral("0"), false},
                                            {QStringLiteral("S"), false},   {QStringLiteral("true"), false}};
    for (const auto &[value, expected] : cases) {
        writeBytes(ini, testsupport::windowsText(QStringLiteral("[outros]\nexistbin=") + value + QStringLiteral("\n")));
        PackageSettings settings;
        settings.existBin = !expected;
        ReadPackageSettings(ini, settings);
        EXPECT_EQ(settings.existBin, expected) << value.toStdString();
    }
    PackageSettings settings;
    settings.existBin = true;
    ReadPackageSettings(m_site.root() + QStringLiteral("/nao-existe.ini"), settings);
    EXPECT_FALSE(settings.existBin);
}

TEST_F(LoadIniConfigTest, WithoutPackageNothingChangesAndNothingIsLogged)
{
    load(fullPackage());
    QFile::remove(installed(QStringLiteral("Update.pack")));
    const QStringList lines = m_session.package.scriptOracle;
    LoadIniConfig(m_session);
    EXPECT_EQ(m_session.package.versaoPacote, QStringLiteral("2.3.004"));
    EXPECT_EQ(m_session.package.scriptOracle, lines);
    EXPECT_FALSE(m_session.changeLog.isEmpty());
    EXPECT_TRUE(m_session.manualButtonVisible);
    EXPECT_TRUE(m_session.status.logText().isEmpty());
    EXPECT_TRUE(m_session.status.rows().empty());
    // The earlier package's manual is removed all the same.
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("Manual.pdf"))));
}

TEST_F(LoadIniConfigTest, DamagedPackageIsLoggedAndKeepsEarlierValues)
{
    load(fullPackage());
    writeBytes(installed(QStringLiteral("Update.pack")), "danificado");
    LoadIniConfig(m_session);
    ASSERT_EQ(m_session.status.logText().size(), 1);
    EXPECT_TRUE(m_session.status.logText()[0].contains(QStringLiteral(
        "- Erro durante a leitura do arquivo \"Config.Ini\" no pacote de atualização. Mensagem: Não foi possível abrir o pacote")));
    EXPECT_TRUE(m_session.status.rows().empty());
    EXPECT_EQ(m_session.package.versaoPacote, QStringLiteral("2.3.004"));

    m_session.status.clearLogText();
    load(fullPackage().password(QStringLiteral("outrasenha")));
    ASSERT_EQ(m_session.status.logText().size(), 1);
    EXPECT_TRUE(m_session.status.logText()[0].contains(QStringLiteral("senha incorreta")));
}

// Files left in the working folder by an earlier run do not pass for members of this package.
TEST_F(LoadIniConfigTest, IgnoresLeftoversOfTheWorkingFolder)
{
    writeBytes(m_session.workingFolder + QStringLiteral("/Config.ini"), "[Outros]\r\nVersaoPacote=9.9.999\r\n");
    writeBytes(m_session.workingFolder + QStringLiteral("/ChangeLog"), "antigo");
    writeBytes(m_session.workingFolder + QStringLiteral("/Manual.pdf"), "antigo");
    load(PackageBuilder().add(QStringLiteral("ChangeLog"), "\xEF\xBB\xBFUTF-8: ação"));
    EXPECT_EQ(m_session.package.versaoPacote, QStringLiteral("0.0.001"));
    EXPECT_EQ(m_session.changeLog, QStringLiteral("UTF-8: ação"));
    EXPECT_FALSE(m_session.manualButtonVisible);
}

}  // namespace
}  // namespace tivra
