// The unattended form of the synchronisation: its command line and its refusals (the copies, the
// error log and the exit statuses of the real program are in tests/e2e/sync_test.cpp).
#include "synctest.h"

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
