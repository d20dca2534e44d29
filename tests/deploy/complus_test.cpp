#include "deploytest.h"

#include "deploy/complus.h"
#include "platform/textfile.h"

namespace tivra::deploytest {
namespace {

using testsupport::writeVersionedFile;

const QString kStopStage = QStringLiteral("03. Desligando Pacotes COM");
const QString kStartStage = QStringLiteral("12. Inicializando Pacotes COM");

// One application of the stand-in catalog as the tests see it.
struct App {
    QString name;
    QStringList properties;  // "Property=value" in stored order
    QStringList components;  // file names
};

class ComPlusTest : public DeployTest {
protected:
    ComPlusTest() { catalogPath = session.installerDirectory + QStringLiteral("COMPlusCatalog.ini"); }
    ~ComPlusTest() override { setWindowsVersionClassForTesting(std::nullopt); }

    void writeCatalog(const QString &text) const { platform::writeTextItems(catalogPath, platform::splitLines(text)); }

    std::vector<App> applications() const
    {
        std::vector<App> result;
        const auto catalog = openFileBackedCatalog(catalogPath);
        const auto collection = catalog->getCollection(QStringLiteral("Applications"));
        collection->populate();
        for (int i = 0; i < collection->count(); ++i) {
            const auto item = collection->item(i);
            App app{item->name(), {}, {}};
            for (const QString &property :
                 {QStringLiteral("ApplicationAccessChecksEnabled"), QStringLiteral("RunForever"),
                  QStringLiteral("ConcurrentApps")}) {
                const QVariant value = item->value(property);
                if (value.isValid())
                    app.properties.append(property + QLatin1Char('=') + value.toString());
            }
            const auto components = collection->getCollection(QStringLiteral("Components"), item->key());
            components->populate();
            for (int c = 0; c < components->count(); ++c)
                app.components.append(components->item(c)->name());
            result.push_back(app);
        }
        return result;
    }
    QStringList names() const
    {
        QStringList result;
        for (const App &app : applications())
            result.append(app.name);
        return result;
    }
    // Journal events without their time stamps ("Shutdown pkBrelum"...).
    QStringList journal() const
    {
        QStringList result;
        bool inJournal = false;
        for (const QString &line : platform::readTextLines(catalogPath)) {
            if (line.startsWith(QLatin1Char('[')))
                inJournal = line == QStringLiteral("[Journal]");
            else if (inJournal && !line.isEmpty())
                result.append(line.mid(20));
        }
        return result;
    }

    QString catalogPath;
};

TEST(Explode, SplitsLeftToRightWithAnOptionalLimit)
{
    EXPECT_EQ(Explode(QStringLiteral(";"), QStringLiteral("a;b;c"), 0),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(Explode(QStringLiteral(";"), QStringLiteral("a;b;c"), 2),
              (QStringList{QStringLiteral("a"), QStringLiteral("b;c")}));
    EXPECT_EQ(Explode(QStringLiteral(";"), QStringLiteral("a;;"), 0),
              (QStringList{QStringLiteral("a"), QString(), QString()}));
    EXPECT_EQ(Explode(QStringLiteral("=>"), QStringLiteral("x=>y"), 5), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    EXPECT_EQ(Explode(QStringLiteral(";"), QStringLiteral("abc"), 1), QStringList{QStringLiteral("abc")});
    EXPECT_TRUE(Explode(QStringLiteral(";"), QString(), 0).isEmpty());
}

TEST(WindowsVersionClasses, FollowPlatformAndVersion)
{
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 5, 0), WindowsVersionClass::Windows2000);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 5, 1), WindowsVersionClass::WindowsXP);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 5, 2), WindowsVersionClass::Server2003);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 6, 3), WindowsVersionClass::Later);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 5, 3), WindowsVersionClass::Older);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 4, 0), WindowsVersionClass::Older);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32Windows, 4, 10), WindowsVersionClass::Older);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32s, 3, 1), WindowsVersionClass::Older);
    EXPECT_EQ(classifyWindowsVersion(kPlatformWin32NT, 10, 0), WindowsVersionClass::Unclassified);
}

TEST(LibraryTable, BuiltInTableMapsTheServerLibraries)
{
    const auto &table = builtInLibraryTable();
    ASSERT_FALSE(table.empty());
    auto owner = [&](const QString &library) {
        for (const LibraryOwner &line : table) {
            if (line.library == library)
                return line.application;
        }
        return QString();
    };
    EXPECT_EQ(owner(QStringLiteral("Brenok.dll")), QStringLiteral("pkBrelum"));
    EXPECT_FALSE(owner(QStringLiteral("Dovren.dll")).isEmpty());
    const auto parsed = parseLibraryTable(QStringLiteral("; comment\n# also\n\npkA=A.dll\r\n=B.dll\npkC=\npkD = D.dll \n"));
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].application, QStringLiteral("pkD"));
    EXPECT_EQ(parsed[1].library, QStringLiteral("D.dll"));
}

TEST_F(ComPlusTest, EmptyComponentsListWritesOnlyTheLogLines)
{
    EXPECT_TRUE(ControlPacks(session, false));
    EXPECT_TRUE(ControlPacks(session, true));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(log(), (QStringList{QStringLiteral("Desligando pacotes COM..."), QStringLiteral("Inicializando pacotes COM...")}));
    EXPECT_FALSE(QFileInfo::exists(catalogPath));
}

TEST_F(ComPlusTest, StopStageShutsDownEachApplicationWithARow)
{
    writeCatalog(QStringLiteral("[Application]\nName=pkBrelum\n[Application]\nName=pkOutro\n"));
    session.package.componentes = {QStringLiteral("pkBrelum=Brenok.dll;Calix.dll"), QStringLiteral("pkAusente=X.dll")};
    EXPECT_TRUE(ControlPacks(session, false));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("1|") + kStopStage + QStringLiteral("|   -> pkBrelum"),
                                   QStringLiteral("1|") + kStopStage + QStringLiteral("|   -> pkAusente")}));
    EXPECT_EQ(journal(), QStringList{QStringLiteral("Shutdown pkBrelum")});

    // The checks page does the same without rows.
    DesligaPacotesComponentes(session);
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(journal().size(), 2);
}

TEST_F(ComPlusTest, StoppingStenovaAtivDeletesTheOldApplication)
{
    writeCatalog(QStringLiteral("[Application]\nName=pkStenovaAtividades\n[Application]\nName=pkOutro\n"));
    ShutPacoteMTS(session, QStringLiteral("pkStenovaAtiv"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("pkOutro")});
    writeCatalog(QStringLiteral("[Application]\nName=pkStenovaAtividades\n[Application]\nName=pkStenovaAtiv\n"));
    ShutPacoteMTS(session, QStringLiteral("pkStenovaAtiv"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("pkStenovaAtiv")});
    EXPECT_EQ(journal().last(), QStringLiteral("Shutdown pkStenovaAtiv"));
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(ComPlusTest, StartStageCreatesAndFillsANewApplication)
{
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Calix.dll")), 1, 0, 0, 0);
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Brenok.dll")), 1, 0, 0, 0);
    session.package.componentes = {QStringLiteral("pkBrelum=Calix.dll;Falta.dll;Brenok.dll"),
                                   QStringLiteral("pkNovo=Brenok.dll")};
    EXPECT_TRUE(ControlPacks(session, true));
    const auto apps = applications();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, QStringLiteral("pkBrelum"));
    EXPECT_EQ(apps[0].properties, (QStringList{QStringLiteral("ApplicationAccessChecksEnabled=False"),
                                               QStringLiteral("RunForever=True"), QStringLiteral("ConcurrentApps=20")}));
    EXPECT_EQ(apps[0].components, (QStringList{QStringLiteral("Calix.dll"), QStringLiteral("Brenok.dll")}));
    EXPECT_EQ(apps[1].properties, (QStringList{QStringLiteral("ApplicationAccessChecksEnabled=False"),
                                               QStringLiteral("RunForever=True")}));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("1|") + kStartStage + QStringLiteral("|   -> pkBrelum"),
                                   QStringLiteral("1|") + kStartStage + QStringLiteral("|   -> pkNovo")}));
    EXPECT_EQ(log().first(), QStringLiteral("Inicializando pacotes COM..."));
    EXPECT_TRUE(journal().contains(QStringLiteral("Shutdown pkNovo")));

    // Running it again creates nothing new.
    EXPECT_TRUE(ControlPacks(session, true));
    EXPECT_EQ(applications().size(), 2u);
}

TEST_F(ComPlusTest, OlderSystemsGetFewerProperties)
{
    setWindowsVersionClassForTesting(WindowsVersionClass::Windows2000);
    RegistraPacoteMTS(session, QStringLiteral("pkBrelum"));
    setWindowsVersionClassForTesting(WindowsVersionClass::Older);
    RegistraPacoteMTS(session, QStringLiteral("pkVelho"));
    const auto apps = applications();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].properties, (QStringList{QStringLiteral("ApplicationAccessChecksEnabled=False"),
                                               QStringLiteral("RunForever=True")}));
    EXPECT_EQ(apps[1].properties, QStringList{QStringLiteral("ApplicationAccessChecksEnabled=False")});
}

TEST_F(ComPlusTest, ApplicationWhoseLibrariesStayIsLeftAsItIs)
{
    writeVersionedFile(app(QStringLiteral("Producao/Bin/Lib.dll")), 1, 0, 0, 0);
    writeCatalog(QStringLiteral("[Application]\nName=pkFixo\nComponent=/antigo/Velha.dll\n"));
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\Outra.dll")};
    EXPECT_TRUE(InstalaPacoteMTS(session, QStringLiteral("pkFixo=Lib.dll")));
    EXPECT_EQ(applications()[0].components, QStringList{QStringLiteral("Velha.dll")});
    EXPECT_EQ(rows(), QStringList{QStringLiteral("1|") + kStartStage + QStringLiteral("|   -> pkFixo")});

    // Once the package replaces one of them, the registration is made anew.
    session.package.binaryToCopy.append(QStringLiteral("AppTivra\\Producao\\Bin\\Lib.dll"));
    EXPECT_TRUE(InstalaPacoteMTS(session, QStringLiteral("pkFixo=Lib.dll")));
    EXPECT_EQ(applications()[0].components, QStringList{QStringLiteral("Lib.dll")});
}

TEST_F(ComPlusTest, FailedInstallIsAnIgnoredRowNotAnError)
{
    site.writeFile(QStringLiteral("Sistema/AppTivra/Producao/Bin/Quebrada.dll"), "not a library");
    writeCatalog(QStringLiteral("[Application]\nName=pkQuebrado\n"));
    EXPECT_FALSE(InstalaPacoteMTS(session, QStringLiteral("pkQuebrado=Quebrada.dll")));
    EXPECT_EQ(rows(), QStringList{QStringLiteral("3|") + kStartStage + QStringLiteral("|   -> pkQuebrado")});
    ASSERT_EQ(log().size(), 2);
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Erro ao registrar componentes do pacote \"pkQuebrado\". "
                                                        "Mensagem: ")));
    EXPECT_EQ(session.status.lastStatusImage(), int(ImageIgnored));
}

TEST_F(ComPlusTest, CatalogErrorsAreLoggedNeverRaised)
{
    QDir().mkpath(catalogPath);  // a folder where the catalog file should be: it cannot be read
    ShutPacoteMTS(session, QStringLiteral("pkBrelum"));
    RegistraPacoteMTS(session, QStringLiteral("pkBrelum"));
    DesligaPacoteDaBiblioteca(session, app(QStringLiteral("Producao/Bin/Brenok.dll")));
    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Erro ao desligar o pacote \"pkBrelum\". Mensagem: ")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Erro durante a criação do pacote \"pkBrelum\". Mensagem: ")));
    EXPECT_TRUE(rows().isEmpty());
}

}  // namespace
}  // namespace tivra::deploytest
