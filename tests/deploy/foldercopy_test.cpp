#include "deploytest.h"

#include "deploy/complus.h"
#include "deploy/fileaccess.h"
#include "deploy/foldercopy.h"
#include "platform/fileversion.h"
#include "platform/textfile.h"
#include "support/pewriter.h"

#include <QMap>

namespace tivra::deploytest {
namespace {

using testsupport::readAll;
using testsupport::writeDatedFile;
using testsupport::writeVersionedFile;

class FolderCopyTest : public DeployTest {
protected:
    QString src(const QString &relative) const { return root(QStringLiteral("Origem/AppTivra/")) + relative; }
    QString dst(const QString &relative) const { return root(QStringLiteral("Destino/")) + relative; }

    bool copy(bool listedOnly = false, const QStringList &files = {})
    {
        request = FolderCopyRequest();
        request.source = root(QStringLiteral("Origem/AppTivra"));
        request.destination = root(QStringLiteral("Destino"));
        request.listedFilesOnly = listedOnly;
        request.fileList = files;
        return CopyFolder(session, request);
    }

    QString failureText(const QString &destinationFile) const
    {
        return QStringLiteral("Não foi possível copiar o arquivo \"") + destinationFile
            + QStringLiteral("\". Verifique se o mesmo não encontra-se em uso!");
    }

    FolderCopyRequest request;
};

TEST_F(FolderCopyTest, VersionComparisonKeepsNewerFilesInPlace)
{
    // 1.10.0.0 gives 11000, 2.0.0.0 gives 2000: the file in place counts as newer.
    writeVersionedFile(src(QStringLiteral("Comparado.dll")), 2, 0, 0, 0);
    writeVersionedFile(dst(QStringLiteral("Comparado.dll")), 1, 10, 0, 0);
    // A dated file (20110305) is never replaced by a small version (241070)...
    writeVersionedFile(src(QStringLiteral("Datado.dll")), 2, 4, 107, 0);
    writeDatedFile(dst(QStringLiteral("Datado.dll")), "dated", QDate(2011, 3, 5));
    // ...while a versioned file is always replaced by a dated one.
    writeDatedFile(src(QStringLiteral("Versionado.dll")), "dated", QDate(2011, 3, 5));
    writeVersionedFile(dst(QStringLiteral("Versionado.dll")), 9, 9, 9, 9);
    // Equal versions copy again; a missing destination is copied.
    writeVersionedFile(src(QStringLiteral("Igual.dll")), 3, 0, 0, 1);
    writeVersionedFile(dst(QStringLiteral("Igual.dll")), 3, 0, 0, 1);
    site.writeFile(QStringLiteral("Destino/Igual.dll"), readAll(src(QStringLiteral("Igual.dll"))) + "old");
    writeVersionedFile(src(QStringLiteral("Novo.dll")), 1, 0, 0, 0);

    ASSERT_TRUE(copy()) << request.errorText.toStdString();
    QStringList lines = request.resultList;
    lines.sort();
    QStringList expected{
        keptLine(dst(QStringLiteral("Comparado.dll")), QStringLiteral("1.10.0.0"), QStringLiteral("2.0.0.0")),
        keptLine(dst(QStringLiteral("Datado.dll")), QStringLiteral("2011-03-05"), QStringLiteral("2.4.107.0")),
        copiedLine(QStringLiteral("2011-03-05"), dst(QStringLiteral("Versionado.dll"))),
        copiedLine(QStringLiteral("3.0.0.1"), dst(QStringLiteral("Igual.dll"))),
        copiedLine(QStringLiteral("1.0.0.0"), dst(QStringLiteral("Novo.dll"))),
    };
    expected.sort();
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(keptLine(QStringLiteral("/d/A.dll"), QStringLiteral("1.10.0.0"), QStringLiteral("2.0.0.0")),
              QStringLiteral("\"/d/A.dll\" não atualizado -> Versão do arquivo atual (1.10.0.0) maior que versão do "
                             "arquivo do pacote (2.0.0.0)"));
    EXPECT_EQ(copiedLine(QStringLiteral("1.0.0.0"), QStringLiteral("/d/A.dll")), QStringLiteral("(1.0.0.0) /d/A.dll"));

    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("Comparado.dll"))), QStringLiteral("1.10.0.0"));
    EXPECT_EQ(readAll(dst(QStringLiteral("Datado.dll"))), QByteArray("dated"));
    EXPECT_EQ(readAll(dst(QStringLiteral("Igual.dll"))), readAll(src(QStringLiteral("Igual.dll"))));
    // The copy keeps the source's date, so a dated file keeps its version text.
    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("Versionado.dll"))), QStringLiteral("2011-03-05"));
}

// A PE image whose fixed file version block lost its signature: no version resource to read.
QByteArray malformedPe()
{
    QByteArray image = testsupport::buildPeImage(testsupport::PeVersion{9, 9, 9, 9});
    const qsizetype signature = image.indexOf(QByteArray("\xBD\x04\xEF\xFE", 4));
    if (signature >= 0)
        image[signature] = 0;
    return image;
}

TEST_F(FolderCopyTest, VersionTextReadFromTheOpenSourceIsThePlatforms)
{
    const QStringList files{
        writeVersionedFile(src(QStringLiteral("A.dll")), 2, 4, 107, 0),
        writeDatedFile(src(QStringLiteral("B.txt")), "plain", QDate(2011, 3, 5)),
        writeDatedFile(src(QStringLiteral("C.dll")), malformedPe(), QDate(2012, 1, 2)),
        writeDatedFile(src(QStringLiteral("D.dll")), "MZ but far too short", QDate(2013, 4, 5)),
        writeDatedFile(src(QStringLiteral("E.dll")), QByteArray(), QDate(2014, 6, 7)),
    };
    for (const QString &file : files) {
        const auto source = OpenedFile::open(file);
        EXPECT_EQ(source->versionText(), platform::fileVersionText(file)) << file.toStdString();
    }
    EXPECT_EQ(OpenedFile::open(files[2])->versionText(), QStringLiteral("2012-01-02"));
    EXPECT_TRUE(OpenedFile::open(src(QStringLiteral("Falta.dll")))->versionText().isEmpty());
    QString error;
    EXPECT_FALSE(OpenedFile::open(src(QStringLiteral("Falta.dll")))->copyTo(dst(QStringLiteral("Falta.dll")), &error));
    EXPECT_FALSE(error.isEmpty());

    // A malformed resource counts by its date: 20120102 beats the destination's 9.9.9.9 (9999).
    writeVersionedFile(dst(QStringLiteral("C.dll")), 9, 9, 9, 9);
    ASSERT_TRUE(copy());
    EXPECT_EQ(readAll(dst(QStringLiteral("C.dll"))), malformedPe());
    EXPECT_TRUE(request.resultList.contains(copiedLine(QStringLiteral("2012-01-02"), dst(QStringLiteral("C.dll")))));
}

TEST_F(FolderCopyTest, WalksSubFoldersAndPassesOverSpecialEntries)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/Clients/Cliente.exe"), "client");
    site.writeFile(QStringLiteral("Origem/AppTivra/LEIAME"), "no dot in the name");
    site.writeFile(QStringLiteral("Origem/AppTivra/.oculto"), "hidden");
    site.writeFile(QStringLiteral("Origem/AppTivra/RECYCLED/lixo.txt"), "bin");
    site.writeFile(QStringLiteral("Origem/AppTivra/$Recycle.Bin/lixo.txt"), "bin");
    QDir().mkpath(src(QStringLiteral("Vazia")));
    ASSERT_TRUE(copy());
    EXPECT_EQ(readAll(dst(QStringLiteral("Producao/Bin/Clients/Cliente.exe"))), QByteArray("client"));
    EXPECT_TRUE(QFileInfo::exists(dst(QStringLiteral("LEIAME"))));
    EXPECT_TRUE(QFileInfo(dst(QStringLiteral("Vazia"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral(".oculto"))));
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("RECYCLED"))));
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("$Recycle.Bin"))));
    EXPECT_EQ(request.resultList.size(), 2);

    EXPECT_TRUE(matchesMask(QStringLiteral("LEIAME"), QStringLiteral("*.*")));
    EXPECT_TRUE(matchesMask(QStringLiteral("App.DLL"), QStringLiteral("*.dll")));
    EXPECT_FALSE(matchesMask(QStringLiteral("App.exe"), QStringLiteral("*.dll")));
}

TEST_F(FolderCopyTest, DestinationInsideTheSourceIsNeverCopiedIntoItself)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/A.dll"), "a");
    QDir().mkpath(src(QStringLiteral("Backup/Antes")));  // the copy creates one level only
    for (const QString &inside : {QStringLiteral("Copia"), QStringLiteral("Backup/Antes/Copia")}) {
        request = FolderCopyRequest();
        request.source = root(QStringLiteral("Origem/AppTivra"));
        request.destination = src(inside);
        ASSERT_TRUE(CopyFolder(session, request)) << request.errorText.toStdString();
        EXPECT_EQ(readAll(src(inside + QStringLiteral("/A.dll"))), QByteArray("a"));
        EXPECT_FALSE(QFileInfo::exists(src(inside + QLatin1Char('/') + inside))) << inside.toStdString();
    }
}

TEST_F(FolderCopyTest, DestinationInsideTheSourceUnderAnotherSpellingIsRecognised)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/A.dll"), "a");
    QDir().mkpath(src(QStringLiteral("Backup")));
    // The same folder reached through a link: the spelled paths differ, the resolved ones do not.
    ASSERT_TRUE(QFile::link(root(QStringLiteral("Origem/AppTivra")), root(QStringLiteral("Atalho"))));
    request = FolderCopyRequest();
    request.source = root(QStringLiteral("Origem/AppTivra"));
    request.destination = root(QStringLiteral("Atalho/Backup/Antes"));
    ASSERT_TRUE(CopyFolder(session, request)) << request.errorText.toStdString();
    EXPECT_EQ(readAll(src(QStringLiteral("Backup/Antes/A.dll"))), QByteArray("a"));
    // The walk creates the folder it passes (one level), but never copies into itself again.
    EXPECT_FALSE(QFileInfo::exists(src(QStringLiteral("Backup/Antes/Backup/Antes"))));
    EXPECT_EQ(request.resultList.size(), 1);
}

TEST_F(FolderCopyTest, VersionsBeyondThirtyTwoBitsStillCompare)
{
    // 2.4.10700.12345 reads 241070012345: newer than 2.4.9999.0 (2499990), never replaced by it.
    writeVersionedFile(src(QStringLiteral("Grande.dll")), 2, 4, 9999, 0);
    writeVersionedFile(dst(QStringLiteral("Grande.dll")), 2, 4, 10700, 12345);
    // 65535.65535.65535.65535 has twenty digits, beyond any 64-bit number: it cannot be compared,
    // so the file in place stays, and a line says why.
    writeVersionedFile(src(QStringLiteral("Enorme.dll")), 1, 0, 0, 0);
    writeVersionedFile(dst(QStringLiteral("Enorme.dll")), 65535, 65535, 65535, 65535);
    // A package file of such a version does not replace either; a new file is still copied.
    writeVersionedFile(src(QStringLiteral("DoPacote.dll")), 65535, 65535, 65535, 65535);
    writeVersionedFile(dst(QStringLiteral("DoPacote.dll")), 1, 0, 0, 0);
    writeVersionedFile(src(QStringLiteral("Novo.dll")), 65535, 65535, 65535, 65535);
    ASSERT_TRUE(copy()) << request.errorText.toStdString();
    EXPECT_TRUE(request.resultList.contains(
        keptLine(dst(QStringLiteral("Grande.dll")), QStringLiteral("2.4.10700.12345"), QStringLiteral("2.4.9999.0"))));
    EXPECT_TRUE(request.resultList.contains(uncomparableLine(
        dst(QStringLiteral("Enorme.dll")), QStringLiteral("65535.65535.65535.65535"), QStringLiteral("1.0.0.0"))));
    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("Enorme.dll"))), QStringLiteral("65535.65535.65535.65535"));
    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("DoPacote.dll"))), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("Novo.dll"))), QStringLiteral("65535.65535.65535.65535"));
    EXPECT_EQ(platform::fileVersionText(dst(QStringLiteral("Grande.dll"))), QStringLiteral("2.4.10700.12345"));
    EXPECT_EQ(request.handledFiles.size(), 4);
}

TEST_F(FolderCopyTest, FolderLinkedIntoItselfIsCopiedOnce)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/Sub/A.dll"), "a");
    ASSERT_TRUE(QFile::link(src(QStringLiteral("Sub")), src(QStringLiteral("Sub/Volta"))));
    ASSERT_TRUE(copy()) << request.errorText.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dst(QStringLiteral("Sub/A.dll"))));
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("Sub/Volta/Volta"))));
}

TEST_F(FolderCopyTest, ListedFilesOnlyMatchFromTheFirstAppTivra)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/App.dll"), "app");
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/Outro.dll"), "other");
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/Caixa.dll"), "case");
    QDir().mkpath(src(QStringLiteral("Executaveis")));
    const QStringList files{QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"),
                            QStringLiteral("AppTivra\\Producao\\Bin\\caixa.dll"),
                            QStringLiteral("AppTivra\\Producao\\Bin\\Falta.dll")};
    ASSERT_TRUE(copy(true, files));
    EXPECT_EQ(request.resultList.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(dst(QStringLiteral("Producao/Bin/App.dll"))));
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("Producao/Bin/Outro.dll"))));
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("Producao/Bin/Caixa.dll"))));
    EXPECT_TRUE(QFileInfo(dst(QStringLiteral("Executaveis"))).isDir());  // folders walked are created

    // A source path without the name matches no entry.
    site.writeFile(QStringLiteral("Outra/Bin/App.dll"), "app");
    request = FolderCopyRequest();
    request.source = root(QStringLiteral("Outra"));
    request.destination = root(QStringLiteral("Destino2"));
    request.listedFilesOnly = true;
    request.fileList = {QStringLiteral("Outra\\Bin\\App.dll"), QStringLiteral("AppTivra\\Bin\\App.dll")};
    EXPECT_TRUE(CopyFolder(session, request));
    EXPECT_TRUE(request.resultList.isEmpty());
}

// A copy that reports its progress counts first the files it will handle (the same walk: sub-folders,
// special entries passed over, a folder linked into itself once, only the listed files when
// asked), then one count per file, and ends its counting; a failure ends it where it stopped.
TEST_F(FolderCopyTest, ProgressCountsTheFilesTheCopyHandles)
{
    QStringList reports;
    int ends = 0;
    QObject::connect(&session.status, &StatusLog::progressReported,
                     [&](const QString &, qint64 done, qint64 total, ProgressUnit unit) {
                         reports << progressText(done, total, unit);
                     });
    QObject::connect(&session.status, &StatusLog::progressEnded, [&] { ++ends; });
    const auto copyCounted = [&](bool listedOnly, const QStringList &files) {
        request = FolderCopyRequest();
        request.source = root(QStringLiteral("Origem/AppTivra"));
        request.destination = root(QStringLiteral("Destino"));
        request.listedFilesOnly = listedOnly;
        request.fileList = files;
        request.reportProgress = true;
        reports.clear();
        ends = 0;
        return CopyFolder(session, request);
    };
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/Clients/Cliente.exe"), "client");
    site.writeFile(QStringLiteral("Origem/AppTivra/Producao/Bin/App.dll"), "app");
    site.writeFile(QStringLiteral("Origem/AppTivra/LEIAME"), "readme");
    site.writeFile(QStringLiteral("Origem/AppTivra/.oculto"), "hidden");
    site.writeFile(QStringLiteral("Origem/AppTivra/RECYCLED/lixo.txt"), "bin");
    ASSERT_TRUE(QFile::link(src(QStringLiteral("Producao/Bin")), src(QStringLiteral("Producao/Bin/Volta"))));
    ASSERT_TRUE(copyCounted(false, {})) << request.errorText.toStdString();
    EXPECT_EQ(request.resultList.size(), 3);
    EXPECT_EQ(reports, QStringList({"0 de 3 arquivos", "0 de 3 arquivos", "1 de 3 arquivos", "2 de 3 arquivos",
                                    "3 de 3 arquivos"}));
    EXPECT_EQ(ends, 1);

    ASSERT_TRUE(copyCounted(true, {QStringLiteral("AppTivra\\Producao\\Bin\\App.dll")}));
    EXPECT_EQ(reports, QStringList({"0 de 1 arquivo", "0 de 1 arquivo", "1 de 1 arquivo"}));

    setCopyFaultForTesting([](const QString &source, const QString &) { return source.endsWith(QStringLiteral("LEIAME")); });
    EXPECT_FALSE(copyCounted(false, {}));
    setCopyFaultForTesting({});
    EXPECT_FALSE(reports.contains(QStringLiteral("3 de 3 arquivos")));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(session.status.progressActive());

    // Without the request's flag nothing is counted.
    reports.clear();
    ASSERT_TRUE(copy());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(FolderCopyTest, ReadOnlyFilesFailTheCopy)
{
    // A read-only package file is copied, but the copy then carries the attribute: a failure.
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Origem/AppTivra/Bin/SoLeitura.dll"), "ro"), true);
    EXPECT_FALSE(copy());
    EXPECT_EQ(request.errorText, failureText(dst(QStringLiteral("Bin/SoLeitura.dll"))));
    QFile::remove(dst(QStringLiteral("Bin/SoLeitura.dll")));
    QFile::remove(src(QStringLiteral("Bin/SoLeitura.dll")));

    // A read-only file in place is not replaced.
    site.writeFile(QStringLiteral("Origem/AppTivra/Bin/Alvo.dll"), "new");
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Destino/Bin/Alvo.dll"), "old"), true);
    EXPECT_FALSE(copy());
    EXPECT_EQ(request.errorText, failureText(dst(QStringLiteral("Bin/Alvo.dll"))));
    EXPECT_EQ(readAll(dst(QStringLiteral("Bin/Alvo.dll"))), QByteArray("old"));
}

TEST_F(FolderCopyTest, DestinationHeldOpenIsPassedOverWithoutALine)
{
    site.writeFile(QStringLiteral("Origem/AppTivra/Aberto.dll"), "new");
    site.writeFile(QStringLiteral("Origem/AppTivra/Livre.dll"), "new");
    const QString held = site.writeFile(QStringLiteral("Destino/Aberto.dll"), "old");
    testsupport::FileHolder holder(held, testsupport::FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());
    ASSERT_TRUE(copy());
    EXPECT_EQ(request.resultList, QStringList{copiedLine(platform::fileVersionText(src(QStringLiteral("Livre.dll"))),
                                                         dst(QStringLiteral("Livre.dll")))});
    EXPECT_EQ(readAll(held), QByteArray("old"));
}

TEST_F(FolderCopyTest, LockedDestinationIsPassedOverWhereTheHolderCannotBeSeen)
{
    testsupport::openToEveryone(site.root());
    site.writeFile(QStringLiteral("Origem/AppTivra/Travado.dll"), "new");
    site.writeFile(QStringLiteral("Origem/AppTivra/Livre.dll"), "new");
    const QString locked = site.writeFile(QStringLiteral("Destino/Travado.dll"), "old");
    testsupport::openToEveryone(root(QStringLiteral("Destino")));
    ::chmod(QFile::encodeName(locked).constData(), 0666);
    testsupport::FileHolder holder(locked, testsupport::FileHolder::Mode::Flocked);
    ASSERT_TRUE(holder.holding());
    const int result = testsupport::runUnprivileged([&] { return copy() ? int(request.resultList.size()) : 100; });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(readAll(locked), QByteArray("old"));
    EXPECT_EQ(readAll(dst(QStringLiteral("Livre.dll"))), QByteArray("new"));
}

TEST_F(FolderCopyTest, FailureHalfWayKeepsWhatWasCopied)
{
    for (int i = 0; i < 6; ++i) {
        const QString name = QStringLiteral("Arq%1.dll").arg(i);
        writeVersionedFile(src(name), 2, 0, 0, 0);
        writeVersionedFile(dst(name), 1, 0, 0, 0);
    }
    int copies = 0;
    QString failedAt;
    setCopyFaultForTesting([&](const QString &, const QString &destination) {
        if (++copies == 4) {
            failedAt = destination;
            return true;
        }
        return false;
    });
    EXPECT_FALSE(copy());
    EXPECT_EQ(request.errorText, failureText(failedAt));
    EXPECT_EQ(request.resultList.size(), 3);
    int replaced = 0;
    for (int i = 0; i < 6; ++i)
        replaced += platform::fileVersionText(dst(QStringLiteral("Arq%1.dll").arg(i))) == QStringLiteral("2.0.0.0");
    EXPECT_EQ(replaced, 3);
    EXPECT_EQ(platform::fileVersionText(failedAt), QStringLiteral("1.0.0.0"));  // intact, not half-written
    EXPECT_TRUE(QDir(root(QStringLiteral("Destino"))).entryList(QDir::Hidden | QDir::Files).filter(
                    QStringLiteral("tivra-")).isEmpty());
}

TEST_F(FolderCopyTest, InHouseLibrariesAlsoGoToTheSystemFolder)
{
    writeVersionedFile(src(QStringLiteral("Producao/Bin/Brenok.dll")), 1, 2, 0, 0);
    writeVersionedFile(src(QStringLiteral("Producao/Bin/Outra.dll")), 1, 2, 0, 0);
    ASSERT_TRUE(copy());  // no system folder: copied only where asked

    const QString system = root(QStringLiteral("Windows/System32"));
    QDir().mkpath(system);
    qputenv("TIVRA_SYSTEM_DIR", system.toLocal8Bit());
    site.writeFile(QStringLiteral("Windows/System32/Brenok.dll"), "older, any version");
    ASSERT_TRUE(copy());
    EXPECT_EQ(readAll(system + QStringLiteral("/Brenok.dll")), readAll(src(QStringLiteral("Producao/Bin/Brenok.dll"))));
    EXPECT_FALSE(QFileInfo::exists(system + QStringLiteral("/Outra.dll")));

    // A failed copy into the system folder fails without a text.
    setCopyFaultForTesting([&](const QString &, const QString &destination) { return destination.startsWith(system); });
    EXPECT_FALSE(copy());
    EXPECT_TRUE(request.errorText.isEmpty());
}

TEST_F(FolderCopyTest, UnreadableFolderFailsTheCopy)
{
    TIVRA_SKIP_ON_WINDOWS_PERMISSIONS();
    testsupport::openToEveryone(site.root());
    site.writeFile(QStringLiteral("Origem/AppTivra/Fechada/A.dll"), "a");
    testsupport::openToEveryone(root(QStringLiteral("Origem")));
    QDir().mkpath(dst(QString()));
    testsupport::openToEveryone(dst(QString()));
    ::chmod(QFile::encodeName(src(QStringLiteral("Fechada"))).constData(), 0700);
    const QString marker = root(QStringLiteral("erro.txt"));
    const int result = testsupport::runUnprivileged([&] {
        const bool ok = copy();
        platform::writeTextItems(marker, {request.errorText});
        return ok ? 1 : 0;
    });
    ::chmod(QFile::encodeName(src(QStringLiteral("Fechada"))).constData(), 0755);
    EXPECT_EQ(result, 0);
    const QString expectedStart = QStringLiteral("Não foi possível ler o diretório \"") + src(QStringLiteral("Fechada/"));
    EXPECT_TRUE(platform::readText(marker).startsWith(expectedStart)) << platform::readText(marker).toStdString();

    // A source folder that does not exist fails the same way.
    request = FolderCopyRequest();
    request.source = root(QStringLiteral("Nenhuma"));
    request.destination = root(QStringLiteral("Destino"));
    EXPECT_FALSE(CopyFolder(session, request));
    EXPECT_TRUE(request.errorText.startsWith(QStringLiteral("Não foi possível ler o diretório")));
}

TEST_F(FolderCopyTest, OwnerApplicationIsShutDownBeforeItsLibraryIsReplaced)
{
    site.writeFile(QStringLiteral("installer/COMPlusCatalog.ini"),
                   "[Application]\r\nName=pkBrelum\r\n[Application]\r\nName=pkOutro\r\n");
    writeVersionedFile(src(QStringLiteral("Producao/Bin/Calix.dll")), 1, 0, 0, 0);
    writeVersionedFile(src(QStringLiteral("Producao/Bin/Outra.dll")), 1, 0, 0, 0);
    ASSERT_TRUE(copy());
    const QString catalog = platform::readText(session.installerDirectory + QStringLiteral("COMPlusCatalog.ini"));
    EXPECT_TRUE(catalog.contains(QStringLiteral(" Shutdown pkBrelum")));
    EXPECT_EQ(catalog.count(QStringLiteral(" Shutdown ")), 1);
}

// The planned copy (the pre-flight report) walks the same files and takes the same decisions as
// the copy that follows, without creating a folder or changing a file.
TEST_F(FolderCopyTest, APlanChangesNothingAndDecidesAsTheCopyThatFollows)
{
    writeVersionedFile(src(QStringLiteral("Comparado.dll")), 2, 0, 0, 0);
    writeVersionedFile(dst(QStringLiteral("Comparado.dll")), 1, 10, 0, 0);
    writeVersionedFile(src(QStringLiteral("Antigo.dll")), 2, 0, 0, 0);
    writeVersionedFile(dst(QStringLiteral("Antigo.dll")), 1, 0, 0, 0);
    writeVersionedFile(src(QStringLiteral("Igual.dll")), 3, 0, 0, 1);
    site.writeFile(QStringLiteral("Destino/Igual.dll"), readAll(src(QStringLiteral("Igual.dll"))) + "old");
    writeVersionedFile(src(QStringLiteral("Mesmo.dll")), 3, 0, 0, 1);
    site.writeFile(QStringLiteral("Destino/Mesmo.dll"), readAll(src(QStringLiteral("Mesmo.dll"))));
    writeVersionedFile(src(QStringLiteral("Sub/Novo.dll")), 1, 0, 0, 0);
    writeVersionedFile(src(QStringLiteral("Grande.dll")), 1, 0, 0, 0);
    writeVersionedFile(dst(QStringLiteral("Grande.dll")), 65535, 65535, 65535, 65535);

    request = FolderCopyRequest();
    request.source = root(QStringLiteral("Origem/AppTivra"));
    request.destination = root(QStringLiteral("Destino"));
    request.planOnly = true;
    const QByteArray before = readAll(dst(QStringLiteral("Igual.dll")));
    ASSERT_TRUE(CopyFolder(session, request)) << request.errorText.toStdString();
    EXPECT_TRUE(request.resultList.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("Sub"))));
    EXPECT_EQ(readAll(dst(QStringLiteral("Igual.dll"))), before);
    QMap<QString, PlannedFile> plan;
    for (const PlannedFile &file : request.plan)
        plan.insert(file.relativePath, file);
    ASSERT_EQ(plan.size(), 6);
    EXPECT_EQ(plan.value(QStringLiteral("Comparado.dll")).decision, FileCopyDecision::KeepNewer);
    EXPECT_EQ(plan.value(QStringLiteral("Antigo.dll")).decision, FileCopyDecision::Replace);
    EXPECT_EQ(plan.value(QStringLiteral("Antigo.dll")).destinationVersion, QStringLiteral("1.0.0.0"));
    EXPECT_EQ(plan.value(QStringLiteral("Igual.dll")).decision, FileCopyDecision::Replace);
    EXPECT_FALSE(plan.value(QStringLiteral("Igual.dll")).sameContent);
    EXPECT_TRUE(plan.value(QStringLiteral("Mesmo.dll")).sameContent);
    EXPECT_EQ(plan.value(QStringLiteral("Sub/Novo.dll")).decision, FileCopyDecision::New);
    EXPECT_EQ(plan.value(QStringLiteral("Sub/Novo.dll")).destination, dst(QStringLiteral("Sub/Novo.dll")));
    const std::vector<PlannedFile> planned = request.plan;

    ASSERT_TRUE(copy()) << request.errorText.toStdString();
    QStringList expected;
    for (const PlannedFile &file : planned) {
        switch (file.decision) {
        case FileCopyDecision::New:
        case FileCopyDecision::Replace: expected << copiedLine(file.sourceVersion, file.destination); break;
        case FileCopyDecision::KeepNewer:
            expected << keptLine(file.destination, file.destinationVersion, file.sourceVersion);
            break;
        case FileCopyDecision::KeepUncomparable:
            expected << uncomparableLine(file.destination, file.destinationVersion, file.sourceVersion);
            break;
        }
    }
    EXPECT_EQ(request.resultList, expected);
}

}  // namespace
}  // namespace tivra::deploytest
