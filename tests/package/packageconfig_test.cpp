#include "package/packageconfig.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include "core/session.h"

#include <gtest/gtest.h>

namespace tivra {
namespace {

using namespace Qt::StringLiterals;

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
        m_session.workingFolder = m_session.installerDirectory + u"tmp"_s;
    }

    // A package as the maker builds it, with every member this loader reads.
    PackageBuilder fullPackage() const
    {
        PackageBuilder builder;
        builder.config(kFullConfig)
            .addText(u"ChangeLog"_s, u"Versão 2.3.004\nCorreção de relatórios\n"_s)
            .add(u"ScriptsOracle.sql"_s, "CREATE TABLE A (X INT);\r\nCOMMIT;\r\n")
            .add(u"ScriptsDB2.sql"_s, "L1\nL2\rL3\r\nL4")
            .add(u"ScriptsMSSQL.sql"_s, "SELECT 1;\r\nGO\r\n")
            .add(u"Manual.pdf"_s, "%PDF-1.4 manual 2.3.004")
            .add(u"AppTivra\\Producao\\Bin\\Srv1.dll"_s, "binario");
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
    EXPECT_EQ(p.sqlDelimiter, u"/"_s);
    EXPECT_EQ(p.versaoPacote, u"2.3.004"_s);
    EXPECT_EQ(p.versaoRequerida, u"2.3.000"_s);
    EXPECT_TRUE(p.ignorarVersao && p.packCorrecao && p.existBin && p.existScript && p.existCatalogo && p.existMsg &&
                p.existRotulo && p.existRestrFunc);
    EXPECT_EQ(p.componentes,
              (QStringList{u"TivraServer=TivraServer;Srv1.dll;Srv2.dll"_s, u"TivraRel=TivraRel;Rel.dll"_s}));
    EXPECT_EQ(p.binaryToCopy,
              (QStringList{u"AppTivra\\Producao\\Bin\\Srv1.dll"_s, u"AppTivra\\Producao\\Bin\\Rel.dll"_s}));
    EXPECT_EQ(p.dependenciasDB2, (QStringList{u"1=S"_s, u"2=N"_s}));
    EXPECT_EQ(p.dependenciasOracle, QStringList{u"1=N"_s});
    EXPECT_EQ(p.dependenciasMSSQL, QStringList{u"1=S"_s});
    EXPECT_EQ(p.tableSpaces, (QStringList{u"TS_DADOS"_s, u"TS_INDICES"_s}));
    EXPECT_EQ(p.scriptOracle, (QStringList{u"CREATE TABLE A (X INT);"_s, u"COMMIT;"_s}));
    EXPECT_EQ(p.scriptDB2, (QStringList{u"L1"_s, u"L2"_s, u"L3"_s, u"L4"_s}));
    EXPECT_EQ(p.scriptMSSQL, (QStringList{u"SELECT 1;"_s, u"GO"_s}));
    EXPECT_EQ(m_session.changeLog, u"Versão 2.3.004\r\nCorreção de relatórios\r\n"_s);
    EXPECT_EQ(readBytes(installed(u"Manual.pdf"_s)), "%PDF-1.4 manual 2.3.004");
    EXPECT_TRUE(m_session.manualButtonVisible);
    EXPECT_EQ(m_session.manualButtonCaption, u"Manual da Versão 2.3.004"_s);
    EXPECT_TRUE(m_session.status.logText().isEmpty());
    // Only the members named above are unpacked.
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder + u"/AppTivra"_s));
}

// A second package replaces everything the first one left: settings, lists, scripts, change log
// and manual; missing keys fall back to their defaults.
TEST_F(LoadIniConfigTest, SecondPackageReplacesEverything)
{
    load(fullPackage());
    LoadIniConfig(m_session);  // the working folder now holds the first package's members
    load(PackageBuilder().config(u"[Outros]\nVersaoPacote=1.0.000\nExistBin=S\n"_s).add(u"ScriptsDB2.sql"_s, "NOVO"));

    const PackageSettings &p = m_session.package;
    const PackageSettings defaults;
    EXPECT_TRUE(m_session.packageProblem.isEmpty());
    EXPECT_EQ(p.versaoPacote, u"1.0.000"_s);
    EXPECT_EQ(p.versaoRequerida, defaults.versaoRequerida);
    EXPECT_EQ(p.sqlDelimiter, u";"_s);
    EXPECT_FALSE(p.ignorarVersao || p.packCorrecao || p.existBin || p.existScript || p.existCatalogo || p.existMsg ||
                 p.existRotulo || p.existRestrFunc);
    EXPECT_TRUE(p.componentes.isEmpty() && p.binaryToCopy.isEmpty() && p.dependenciasDB2.isEmpty() &&
                p.dependenciasOracle.isEmpty() && p.dependenciasMSSQL.isEmpty() && p.tableSpaces.isEmpty());
    EXPECT_TRUE(p.scriptOracle.isEmpty() && p.scriptMSSQL.isEmpty());
    EXPECT_EQ(p.scriptDB2, QStringList{u"NOVO"_s});
    EXPECT_EQ(m_session.changeLog, QString());
    EXPECT_FALSE(m_session.manualButtonVisible);
    EXPECT_FALSE(QFileInfo::exists(installed(u"Manual.pdf"_s)));
}

TEST_F(LoadIniConfigTest, BooleansAreIntegersOnly)
{
    const QString ini = m_site.root() + u"/Config.ini"_s;
    const QList<QPair<QString, bool>> cases{{u"1"_s, true},  {u"5"_s, true},  {u"0x1"_s, true},
                                            {u"0"_s, false}, {u"S"_s, false}, {u"true"_s, false}};
    for (const auto &[value, expected] : cases) {
        writeBytes(ini, testsupport::windowsText(u"[outros]\nexistbin="_s + value + u"\n"_s));
        PackageSettings settings;
        settings.existBin = !expected;
        ReadPackageSettings(ini, settings);
        EXPECT_EQ(settings.existBin, expected) << value.toStdString();
    }
    PackageSettings settings;
    settings.existBin = true;
    ReadPackageSettings(m_site.root() + u"/nao-existe.ini"_s, settings);
    EXPECT_FALSE(settings.existBin);
}

TEST_F(LoadIniConfigTest, WithoutPackageNothingChangesAndNothingIsLogged)
{
    load(fullPackage());
    QFile::remove(installed(u"Update.pack"_s));
    const QStringList lines = m_session.package.scriptOracle;
    LoadIniConfig(m_session);
    EXPECT_EQ(m_session.package.versaoPacote, u"2.3.004"_s);
    EXPECT_EQ(m_session.package.scriptOracle, lines);
    EXPECT_FALSE(m_session.changeLog.isEmpty());
    EXPECT_TRUE(m_session.manualButtonVisible);
    EXPECT_TRUE(m_session.status.logText().isEmpty());
    EXPECT_TRUE(m_session.status.rows().empty());
    // The earlier package's manual is removed all the same.
    EXPECT_FALSE(QFileInfo::exists(installed(u"Manual.pdf"_s)));
}

TEST_F(LoadIniConfigTest, DamagedPackageIsLoggedNamedAndLeavesNoEarlierValues)
{
    load(fullPackage());
    writeBytes(installed(u"Update.pack"_s), "danificado");
    LoadIniConfig(m_session);
    ASSERT_EQ(m_session.status.logText().size(), 1);
    EXPECT_TRUE(m_session.status.logText()[0].contains(
        QStringLiteral("- Erro durante a leitura do arquivo \"Config.Ini\" no pacote de atualização. Mensagem: Não foi "
                       "possível abrir o pacote")));
    EXPECT_TRUE(m_session.status.rows().empty());
    // The first page refuses it with this text; what the earlier package said is gone.
    EXPECT_TRUE(m_session.packageProblem.startsWith(u"Não foi possível abrir o pacote"_s))
        << m_session.packageProblem.toStdString();
    EXPECT_EQ(m_session.package.versaoPacote, u"0.0.001"_s);
    EXPECT_TRUE(m_session.package.scriptOracle.isEmpty());
    EXPECT_TRUE(m_session.changeLog.isEmpty());

    m_session.status.clearLogText();
    load(fullPackage().password(u"outrasenha"_s));
    ASSERT_EQ(m_session.status.logText().size(), 1);
    EXPECT_TRUE(m_session.status.logText()[0].contains(u"senha incorreta"_s));
}

// Files left in the working folder by an earlier run do not pass for members of this package.
TEST_F(LoadIniConfigTest, IgnoresLeftoversOfTheWorkingFolder)
{
    writeBytes(m_session.workingFolder + u"/Config.ini"_s, "[Outros]\r\nVersaoPacote=9.9.999\r\n");
    writeBytes(m_session.workingFolder + u"/ChangeLog"_s, "antigo");
    writeBytes(m_session.workingFolder + u"/Manual.pdf"_s, "antigo");
    // A package without its own Config.ini is refused, never read with the leftover one.
    load(PackageBuilder().add(u"ChangeLog"_s, "\xEF\xBB\xBFUTF-8: ação"));
    EXPECT_EQ(m_session.package.versaoPacote, u"0.0.001"_s);
    EXPECT_EQ(m_session.packageProblem, u"O pacote não contém o arquivo \"Config.ini\"."_s);

    writeBytes(m_session.workingFolder + u"/ChangeLog"_s, "antigo");
    writeBytes(m_session.workingFolder + u"/Manual.pdf"_s, "antigo");
    load(PackageBuilder().config(u"[Outros]\nVersaoPacote=1.0.000\n"_s).add(u"ChangeLog"_s, "\xEF\xBB\xBFUTF-8: ação"));
    EXPECT_EQ(m_session.package.versaoPacote, u"1.0.000"_s);
    EXPECT_EQ(m_session.changeLog, u"UTF-8: ação"_s);
    EXPECT_FALSE(m_session.manualButtonVisible);
}

}  // namespace
}  // namespace tivra
