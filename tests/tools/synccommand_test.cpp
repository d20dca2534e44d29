// The unattended form of the synchronisation: its command line, the line per destination, the
// error log and the exit status.
#include "synctest.h"

#include "platform/textfile.h"
#include "support/pewriter.h"
#include "tools/synccommand.h"

namespace tivra::synctest {
namespace {

TEST(SyncCommandLine, ReadsTheOriginAndEveryDestinationAndNamesWhatIsMissing)
{
    EXPECT_FALSE(parseSyncCommand({QStringLiteral("/quiet"), QStringLiteral("/noupdate")}).requested);

    const SyncCommand ok = parseSyncCommand({QStringLiteral("/sync:/a/AppTivra"), QStringLiteral("/to:/b/AppTivra"),
                                             QStringLiteral("/quiet"), QStringLiteral("/to:/c d/AppTivra")});
    EXPECT_TRUE(ok.requested);
    EXPECT_TRUE(ok.problem.isEmpty());
    EXPECT_EQ(ok.origin, QStringLiteral("/a/AppTivra"));
    EXPECT_EQ(ok.destinations, (QStringList{QStringLiteral("/b/AppTivra"), QStringLiteral("/c d/AppTivra")}));

    const auto problem = [](const QStringList &arguments) { return parseSyncCommand(arguments).problem; };
    EXPECT_TRUE(problem({QStringLiteral("/sync:/a/AppTivra"), QStringLiteral("/quiet")}).contains(QStringLiteral("/to:DESTINO")));
    EXPECT_TRUE(problem({QStringLiteral("/to:/b/AppTivra")}).contains(QStringLiteral("/sync:ORIGEM")));
    EXPECT_TRUE(problem({QStringLiteral("/sync:"), QStringLiteral("/to:/b/AppTivra")}).contains(QStringLiteral("/sync:ORIGEM")));
    EXPECT_TRUE(problem({QStringLiteral("/sync:/a/AppTivra"), QStringLiteral("/to:")}).contains(QStringLiteral("vazio")));
    EXPECT_TRUE(problem({QStringLiteral("/sync:/a/AppTivra"), QStringLiteral("/sync:/x/AppTivra"), QStringLiteral("/to:/b")})
                    .contains(QStringLiteral("mais de uma vez")));
}

class SyncCommandTest : public SyncTest {
protected:
    int run(const QStringList &arguments)
    {
        printed.clear();
        return runSyncCommand(session, parseSyncCommand(arguments), logFile,
                              [this](const QString &line) { printed.append(line); });
    }
    QString logFile = path(QStringLiteral("installer/Log/LogSincronizacao.txt"));
    QStringList printed;
};

TEST_F(SyncCommandTest, EveryDestinationCopiedExitsZeroWithALinePerDestination)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    testsupport::writeVersionedFile(origin + QStringLiteral("/Producao/App.dll"), 2, 0, 0, 0);
    testsupport::writeVersionedFile(origin + QStringLiteral("/Producao/Mais.dll"), 2, 0, 0, 0);
    const QString first = appDir(QStringLiteral("S1/AppTivra"));
    testsupport::writeVersionedFile(first + QStringLiteral("/Producao/App.dll"), 5, 0, 0, 0);  // newer: kept
    const QByteArray newer = testsupport::readAll(first + QStringLiteral("/Producao/App.dll"));
    const QString second = appDir(QStringLiteral("S2/AppTivra"));
    EXPECT_EQ(run({QStringLiteral("/sync:") + origin, QStringLiteral("/to:") + first, QStringLiteral("/to:") + second,
                   QStringLiteral("/quiet")}),
              SyncExitCopied);
    EXPECT_EQ(printed, (QStringList{QStringLiteral("Diretório \"") + first + QStringLiteral("\" - Concluído"),
                                    QStringLiteral("Diretório \"") + second + QStringLiteral("\" - Concluído"),
                                    QStringLiteral("Sincronização de Arquivos Concluída!")}));
    EXPECT_EQ(testsupport::readAll(first + QStringLiteral("/Producao/App.dll")), newer);
    EXPECT_EQ(testsupport::readAll(first + QStringLiteral("/Producao/Mais.dll")),
              testsupport::readAll(origin + QStringLiteral("/Producao/Mais.dll")));
    EXPECT_FALSE(QFileInfo::exists(logFile));
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(SyncCommandTest, AFailedDestinationDoesNotStopTheOthersAndIsLogged)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/a.txt"), "a");
    const QString first = appDir(QStringLiteral("S1/AppTivra"));
    const QString second = appDir(QStringLiteral("S2/AppTivra"));
    setCopyFaultForTesting([&](const QString &, const QString &destination) { return destination.startsWith(first); });
    EXPECT_EQ(run({QStringLiteral("/sync:") + origin, QStringLiteral("/to:") + first, QStringLiteral("/to:") + second}),
              SyncExitFailed);
    ASSERT_EQ(printed.size(), 4) << printed.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(printed[0].startsWith(QStringLiteral("Diretório \"") + first + QStringLiteral("\" - Erro: Não foi possível copiar")));
    EXPECT_EQ(printed[1], QStringLiteral("Diretório \"") + second + QStringLiteral("\" - Concluído"));
    EXPECT_EQ(printed[2], QStringLiteral("Log de erros: ") + logFile);
    EXPECT_EQ(printed[3], QStringLiteral("Erro durante a sincronização de diretórios."));
    const QStringList lines = platform::readTextLines(logFile);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Erro(s) gerado(s) durante a sincronização:"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Diretório \"") + first + QStringLiteral("\" - Não foi possível copiar")));
    EXPECT_TRUE(testsupport::readAll(logFile).contains("\r\n"));
    EXPECT_EQ(testsupport::readAll(second + QStringLiteral("/Producao/a.txt")), QByteArray("a"));
}

TEST_F(SyncCommandTest, ARefusedDestinationOrOriginCopiesNothing)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/a.txt"), "a");
    const QString good = appDir(QStringLiteral("S1/AppTivra"));
    const QString inside = appDir(QStringLiteral("Origem/AppTivra/Copia/AppTivra"));
    EXPECT_EQ(run({QStringLiteral("/sync:") + origin, QStringLiteral("/to:") + good, QStringLiteral("/to:") + inside}),
              SyncExitFailed);
    ASSERT_EQ(printed.size(), 3) << printed.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(printed[0], QStringLiteral("Diretório \"") + good
                              + QStringLiteral("\" - Não sincronizado: há destinos reprovados, nenhum arquivo foi copiado."));
    EXPECT_TRUE(printed[1].startsWith(QStringLiteral("Diretório \"") + inside + QStringLiteral("\" - Reprovado: O diretório de destino")));
    EXPECT_TRUE(printed[1].contains(QStringLiteral("está dentro do diretório de origem")));
    EXPECT_FALSE(QFileInfo::exists(good + QStringLiteral("/Producao/a.txt")));
    EXPECT_FALSE(QFileInfo::exists(inside + QStringLiteral("/Producao/a.txt")));

    // An origin whose name does not end in "AppTivra", or that is no application directory.
    for (const QString &bad : {appDir(QStringLiteral("Outro/Sistema")), path(QStringLiteral("Vazio/AppTivra"))}) {
        QDir().mkpath(bad);
        EXPECT_EQ(run({QStringLiteral("/sync:") + bad, QStringLiteral("/to:") + good}), SyncExitFailed);
        ASSERT_EQ(printed.size(), 3);
        EXPECT_TRUE(printed[0].startsWith(QStringLiteral("Diretório de origem \"") + bad + QStringLiteral("\" inválido")));
        EXPECT_EQ(printed[1], QStringLiteral("Diretório \"") + good
                                  + QStringLiteral("\" - Não sincronizado: origem inválida, nenhum arquivo foi copiado."));
    }
    EXPECT_TRUE(QDir(good + QStringLiteral("/Producao")).isEmpty());

    // A command line without destinations says how it is used.
    EXPECT_EQ(run({QStringLiteral("/sync:") + origin}), SyncExitFailed);
    ASSERT_EQ(printed.size(), 2);
    EXPECT_TRUE(printed[1].startsWith(QStringLiteral("Uso: tivra-installer /sync:ORIGEM /to:DESTINO1")));
}

}  // namespace
}  // namespace tivra::synctest
