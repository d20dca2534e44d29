// The synchronisation window's logic: origin and destination rules, the button state, the copy
// loop with its error lines and log file, the refusals of overlapping and repeated destinations,
// and bad input (read-only destinations, a destination removed half-way, files held open, a large
// origin).
#include "synctest.h"

#include "platform/textfile.h"
#include "support/pewriter.h"

#include <QFile>
#include <sys/stat.h>

namespace tivra::synctest {
namespace {

using testsupport::FileHolder;
using testsupport::readAll;

const QString kOriginRefused = QStringLiteral(
    "Diretório inválido: Diretório selecionado inválido. Informe aqui o diretório \"AppTivra\" de origem dos arquivos.");
const QString kDestinationRefused = QStringLiteral(
    "Diretório inválido: Diretório selecionado inválido. Informe o diretório \"AppTivra\" de destino dos arquivos.");
const QString kConfirm = QStringLiteral("Confirma a sincronização de arquivos? Esse processo pode demorar alguns minutos "
                                        "dependendo do desempenho de sua rede.");

class SyncSvrsTest : public SyncTest {
protected:
    SyncSvrsTest() : sync(session)
    {
        sync.openDocument = [this](const QString &file) {
            opened.append(file);
            return true;
        };
        sync.showProgress = [this](bool shown) { progress.append(shown); };
        sync.FormShow();
    }

    // A row typed into the grid, as the grid's editor stores it.
    int typed(const QString &folder)
    {
        const int row = sync.cdsDestinos.append();
        sync.cdsDestinos.setData(sync.cdsDestinos.index(row, sync.cdsDestinos.fieldIndex(QStringLiteral("PATH_DEST"))),
                                 folder);
        return row;
    }
    // A row added with "Adicionar" and its folder chosen.
    int chosen(const QString &folder)
    {
        ui.chooseNext(folder);
        sync.btNewClick();
        return sync.cdsDestinos.count() - 1;
    }
    void setOrigin(const QString &folder)
    {
        ui.chooseNext(folder);
        sync.btOpenDirClick();
    }
    QString canWrite(int row) const { return sync.cdsDestinos.text(row, QStringLiteral("CAN_WRITE")); }
    QString status(int row) const { return sync.cdsDestinos.text(row, QStringLiteral("STATUS")); }

    SyncSvrs sync;
    QStringList opened;
    QList<bool> progress;
};

TEST_F(SyncSvrsTest, OriginIsAnApplicationDirectoryEndingInAppTivraExactly)
{
    // Only a "Producao" sub-folder, and the name: accepted.
    const QString producao = appDir(QStringLiteral("A/AppTivra"));
    setOrigin(producao);
    EXPECT_EQ(sync.edOrigem, producao);
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_EQ(ui.chooserTitles(), QStringList{QStringLiteral("Diretório de Origem")});

    // "AppTivra" without any marker, or with the markers but another letter case: refused, the
    // origin stays.
    QDir().mkpath(path(QStringLiteral("B/AppTivra")));
    ui.answerNext(UserInterface::Ok);
    ui.answerNext(UserInterface::Ok);
    setOrigin(path(QStringLiteral("B/AppTivra")));
    setOrigin(appDir(QStringLiteral("C/apptivra")));
    EXPECT_EQ(sync.edOrigem, producao);
    EXPECT_EQ(boxTexts(), (QStringList{kOriginRefused, kOriginRefused}));
    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[0].box.icon, UserInterface::Icon::Warning);

    // The versions file alone marks one too; a cancelled chooser changes nothing.
    write(QStringLiteral("D/AppTivra/Executaveis/Versoes.ini"), "[Aliases]\r\n");
    setOrigin(path(QStringLiteral("D/AppTivra")));
    EXPECT_EQ(sync.edOrigem, path(QStringLiteral("D/AppTivra")));
    setOrigin(QString());
    EXPECT_EQ(sync.edOrigem, path(QStringLiteral("D/AppTivra")));
    EXPECT_EQ(ui.boxes().size(), 2u);
}

TEST_F(SyncSvrsTest, ChosenDestinationsNeedTheNameTypedOnesTheContent)
{
    setOrigin(appDir(QStringLiteral("Origem/AppTivra")));
    // An empty "AppTivra" folder chosen with the button: no content test.
    QDir().mkpath(path(QStringLiteral("Novo/AppTivra")));
    const int button = chosen(path(QStringLiteral("Novo/AppTivra")));
    EXPECT_EQ(sync.cdsDestinos.text(button, QStringLiteral("PATH_DEST")), path(QStringLiteral("Novo/AppTivra")));
    EXPECT_EQ(canWrite(button), kAprovado);
    EXPECT_EQ(status(button), kAguardando);
    EXPECT_EQ(ui.chooserTitles().last(), QStringLiteral("Diretório de Destino"));
    // A chosen folder with another name is refused and the row stays as it was.
    ui.answerNext(UserInterface::Ok);
    chosen(appDir(QStringLiteral("Outro/Sistema")));
    EXPECT_EQ(boxTexts(), QStringList{kDestinationRefused});
    EXPECT_TRUE(sync.cdsDestinos.text(1, QStringLiteral("PATH_DEST")).isEmpty());
    EXPECT_TRUE(canWrite(1).isEmpty());
    sync.btDelClick(1);

    // Typed: the same empty folder is refused; a folder with markers is approved whatever its
    // name; a folder that does not exist is refused. No box for any of them.
    const int emptyTyped = typed(path(QStringLiteral("Novo/AppTivra")));
    const int markers = typed(QStringLiteral("  ") + appDir(QStringLiteral("Servidor2/Sistema")) + QStringLiteral(" "));
    const int missing = typed(path(QStringLiteral("Nada/AppTivra")));
    EXPECT_EQ(canWrite(emptyTyped), kReprovado);
    EXPECT_EQ(canWrite(markers), kAprovado);
    EXPECT_EQ(sync.cdsDestinos.text(markers, QStringLiteral("PATH_DEST")), path(QStringLiteral("Servidor2/Sistema")));
    EXPECT_EQ(canWrite(missing), kReprovado);
    EXPECT_EQ(status(missing), kAguardando);
    EXPECT_TRUE(sync.rowNote(emptyTyped).contains(QStringLiteral("não é um diretório AppTivra")));
    EXPECT_TRUE(sync.rowNote(missing).contains(QStringLiteral("não existe")));
    EXPECT_EQ(ui.boxes().size(), 1u);
}

TEST_F(SyncSvrsTest, ARejectedOrUncheckedDestinationBlocksTheCopyUntilRemoved)
{
    EXPECT_FALSE(sync.btSyncEnabled);
    EXPECT_FALSE(sync.btDelEnabled);
    const int good = typed(appDir(QStringLiteral("S1/AppTivra")));
    EXPECT_FALSE(sync.btSyncEnabled);  // no origin yet
    EXPECT_TRUE(sync.btDelEnabled);
    setOrigin(appDir(QStringLiteral("Origem/AppTivra")));
    EXPECT_TRUE(sync.btSyncEnabled);
    EXPECT_EQ(canWrite(good), kAprovado);

    const int rejected = typed(path(QStringLiteral("Nada/AppTivra")));
    EXPECT_FALSE(sync.btSyncEnabled);
    EXPECT_FALSE(sync.btSyncClick());  // a click that slips through does nothing
    EXPECT_TRUE(ui.boxes().empty());
    sync.btDelClick(rejected);
    EXPECT_TRUE(sync.btSyncEnabled);

    // "Adicionar" with the chooser cancelled leaves an unchecked row, which blocks too.
    ui.chooseNext(QString());
    sync.btNewClick();
    EXPECT_EQ(sync.cdsDestinos.count(), 2);
    EXPECT_FALSE(sync.btSyncEnabled);
    sync.btDelClick(1);
    sync.btDelClick(0);
    EXPECT_FALSE(sync.btDelEnabled);
    EXPECT_FALSE(sync.btSyncEnabled);

    // Each showing starts again with the preset origin and no rows.
    typed(appDir(QStringLiteral("S1/AppTivra")));
    sync.origemPadrao = path(QStringLiteral("Preset/AppTivra"));
    sync.FormShow();
    EXPECT_EQ(sync.cdsDestinos.count(), 0);
    EXPECT_EQ(sync.edOrigem, path(QStringLiteral("Preset/AppTivra")));
    EXPECT_FALSE(sync.btSyncEnabled);
}

TEST_F(SyncSvrsTest, DestinationsOverlappingTheOriginAreRefusedBeforeAnythingIsCopied)
{
    const QString origin = appDir(QStringLiteral("Srv/AppTivra"));
    write(QStringLiteral("Srv/AppTivra/Producao/App.dll"), "app");
    const QMap<QString, QByteArray> before = tree(origin);
    setOrigin(origin);

    ui.answerNext(UserInterface::Ok);
    const int same = typed(origin + QStringLiteral("/"));
    ui.answerNext(UserInterface::Ok);
    const int inside = chosen(appDir(QStringLiteral("Srv/AppTivra/Copia/AppTivra")));
    ui.answerNext(UserInterface::Ok);
    appDir(QStringLiteral("Srv"));
    const int containing = typed(path(QStringLiteral("Srv")) + QStringLiteral("/AppTivra/.."));
    for (int row : {same, inside, containing})
        EXPECT_EQ(canWrite(row), kReprovado) << row;
    const QStringList boxes = boxTexts();
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("é o próprio diretório de origem"))) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[1].contains(QStringLiteral("está dentro do diretório de origem"))) << boxes[1].toStdString();
    EXPECT_TRUE(boxes[2].contains(QStringLiteral("contém o diretório de origem"))) << boxes[2].toStdString();
    EXPECT_FALSE(sync.btSyncEnabled);
    EXPECT_EQ(tree(origin), before);

    // A link that leads into the origin is the origin too.
    sync.FormShow();
    setOrigin(origin);
    ASSERT_TRUE(QFile::link(origin, path(QStringLiteral("Atalho"))));
    ui.answerNext(UserInterface::Ok);
    EXPECT_EQ(canWrite(typed(path(QStringLiteral("Atalho")))), kReprovado);

    // A destination approved first is refused when the origin changes to one that contains it,
    // and a click on "&Sincronizar" checks again before asking anything.
    sync.FormShow();
    const QString other = appDir(QStringLiteral("Outro/AppTivra"));
    setOrigin(other);
    const int row = typed(appDir(QStringLiteral("Srv/AppTivra/Interno/AppTivra")));
    EXPECT_EQ(canWrite(row), kAprovado);
    ui.clearBoxes();
    ui.answerNext(UserInterface::Ok);
    setOrigin(origin);
    EXPECT_EQ(canWrite(row), kReprovado);
    EXPECT_EQ(ui.boxes().size(), 1u);
    EXPECT_FALSE(sync.btSyncEnabled);

    sync.cdsDestinos.setValue(row, QStringLiteral("CAN_WRITE"), kAprovado);  // as if approved earlier
    sync.HabilitaSincronizar();
    ui.clearBoxes();
    ui.answerNext(UserInterface::Ok);
    EXPECT_FALSE(sync.btSyncClick());
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Diretório inválido"));
    EXPECT_EQ(canWrite(row), kReprovado);
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_EQ(tree(origin), before);
}

TEST_F(SyncSvrsTest, APathLongerThanTheFieldIsRefusedNotCutShort)
{
    setOrigin(appDir(QStringLiteral("Origem/AppTivra")));
    // Cut at 250 characters the path would name the application directory "Longo/AppTivra".
    const QString parent = appDir(QStringLiteral("Longo/AppTivra"));
    QString relative = QStringLiteral("Longo/AppTivra");
    while (path(relative).size() <= 250)
        relative += QStringLiteral("/Subpasta_com_nome_comprido");
    const QString deep = appDir(relative + QStringLiteral("/AppTivra"));
    ASSERT_GT(deep.size(), 250);
    const int typedRow = sync.AdicionaDestinoDigitado(deep);
    const int chosenRow = chosen(deep);
    for (int row : {typedRow, chosenRow}) {
        EXPECT_EQ(canWrite(row), kReprovado) << row;
        EXPECT_TRUE(sync.rowNote(row).contains(QStringLiteral("mais de 250 caracteres"))) << row;
    }
    EXPECT_FALSE(sync.btSyncEnabled);
    EXPECT_TRUE(sync.Sincronizar().isEmpty());
    EXPECT_TRUE(QDir(parent + QStringLiteral("/Producao")).isEmpty());
}

TEST_F(SyncSvrsTest, TwoDestinationsTheSecondFailingAndTheSavedLog)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    testsupport::writeVersionedFile(origin + QStringLiteral("/Producao/Bin/App.dll"), 2, 0, 0, 0);
    testsupport::writeVersionedFile(origin + QStringLiteral("/Producao/Bin/Novo.dll"), 1, 0, 0, 0);
    write(QStringLiteral("Origem/AppTivra/Relatorios/r.txt"), "r");
    setOrigin(origin);
    const QString first = appDir(QStringLiteral("S1/AppTivra"));
    // A newer file in place is kept.
    testsupport::writeVersionedFile(first + QStringLiteral("/Producao/Bin/Novo.dll"), 3, 0, 0, 0);
    const QString second = appDir(QStringLiteral("S2/AppTivra"));
    typed(first);
    typed(second);
    ASSERT_TRUE(sync.btSyncEnabled);
    setCopyFaultForTesting([&](const QString &, const QString &destination) { return destination.startsWith(second); });

    const QString logFile = path(QStringLiteral("logs/LogSincronizacao.txt"));
    QDir().mkpath(path(QStringLiteral("logs")));
    ui.answerNext(UserInterface::Yes);  // Confirmar
    ui.answerNext(UserInterface::Ok);   // Erro
    ui.chooseNext(logFile);
    EXPECT_FALSE(sync.btSyncClick());  // the window stays open

    EXPECT_EQ(status(0), kConcluido);
    EXPECT_EQ(status(1), kErro);
    EXPECT_EQ(progress, (QList<bool>{true, false}));
    EXPECT_FALSE(sync.copying);
    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Confirmar"));
    EXPECT_EQ(ui.boxes()[0].box.text, kConfirm);
    EXPECT_EQ(ui.boxes()[0].box.buttons, UserInterface::Yes | UserInterface::No);
    EXPECT_EQ(ui.boxes()[1].box.caption, QStringLiteral("Erro"));
    EXPECT_EQ(ui.boxes()[1].box.icon, UserInterface::Icon::Warning);
    EXPECT_EQ(ui.boxes()[1].box.text, QStringLiteral("Erro durante a sincronização de diretórios. Clique em OK para salvar o "
                                                     "log de erros gerados."));
    EXPECT_EQ(ui.chooserTitles().last(), QStringLiteral("Salvar Log de Erros"));

    // Windows-1252, CR LF: the heading and one line naming the second folder.
    const QString failed = QDir::toNativeSeparators(second) + QDir::separator();
    const QStringList lines = platform::readTextLines(logFile);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Erro(s) gerado(s) durante a sincronização:"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Diretório \"") + second + QStringLiteral("\" - Não foi possível copiar o arquivo \"")
                                    + failed))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\". Verifique se o mesmo não encontra-se em uso!")));
    EXPECT_TRUE(readAll(logFile).contains("sincroniza\xe7\xe3o:\r\nDiret\xf3rio"));
    EXPECT_TRUE(readAll(logFile).endsWith("uso!\r\n"));
    EXPECT_EQ(opened, QStringList{logFile});

    // The first destination got every file but the newer one, which stayed.
    EXPECT_EQ(readAll(first + QStringLiteral("/Producao/Bin/App.dll")), readAll(origin + QStringLiteral("/Producao/Bin/App.dll")));
    EXPECT_EQ(readAll(first + QStringLiteral("/Relatorios/r.txt")), QByteArray("r"));
    EXPECT_NE(readAll(first + QStringLiteral("/Producao/Bin/Novo.dll")), readAll(origin + QStringLiteral("/Producao/Bin/Novo.dll")));
}

TEST_F(SyncSvrsTest, CancellingTheSaveDiscardsTheLinesAndSuccessClosesTheWindow)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/a.txt"), "a");
    setOrigin(origin);
    const QString destination = appDir(QStringLiteral("S1/AppTivra"));
    typed(destination);
    setCopyFaultForTesting([](const QString &, const QString &) { return true; });
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    ui.chooseNext(QString());
    EXPECT_FALSE(sync.btSyncClick());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(status(0), kErro);

    // "Não" copies nothing.
    setCopyFaultForTesting({});
    ui.clearBoxes();
    ui.answerNext(UserInterface::No);
    EXPECT_FALSE(sync.btSyncClick());
    EXPECT_EQ(status(0), kErro);
    EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral("/Producao/a.txt")));

    ui.clearBoxes();
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    EXPECT_TRUE(sync.btSyncClick());
    EXPECT_EQ(status(0), kConcluido);
    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[1].box.caption, QStringLiteral("Informação"));
    EXPECT_EQ(ui.boxes()[1].box.text, QStringLiteral("Sincronização de Arquivos Concluída!"));
    EXPECT_EQ(ui.boxes()[1].box.icon, UserInterface::Icon::Information);
}

TEST_F(SyncSvrsTest, TheSameDestinationListedTwiceIsCopiedOnce)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/a.txt"), "a");
    setOrigin(origin);
    const QString destination = appDir(QStringLiteral("S1/AppTivra"));
    typed(destination);
    typed(destination + QStringLiteral("/"));
    typed(path(QStringLiteral("S1/../S1/AppTivra")));
    int copies = 0;
    setCopyFaultForTesting([&](const QString &, const QString &) {
        ++copies;
        return false;
    });
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    EXPECT_TRUE(sync.btSyncClick());
    EXPECT_EQ(copies, 1);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(status(row), kConcluido) << row;
    EXPECT_TRUE(sync.rowNote(1).contains(QStringLiteral("linha 1"))) << sync.rowNote(1).toStdString();
}

TEST_F(SyncSvrsTest, AFileHeldOpenInADestinationIsPassedOverAndNamed)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/Aberto.dll"), "new");
    write(QStringLiteral("Origem/AppTivra/Producao/Livre.dll"), "new");
    setOrigin(origin);
    const QString first = appDir(QStringLiteral("S1/AppTivra"));
    const QString held = write(QStringLiteral("S1/AppTivra/Producao/Aberto.dll"), "old");
    const QString second = appDir(QStringLiteral("S2/AppTivra"));
    typed(first);
    typed(second);
    FileHolder holder(held, FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());
    EXPECT_TRUE(sync.Sincronizar().isEmpty());
    EXPECT_EQ(status(0), kConcluido);
    EXPECT_EQ(status(1), kConcluido);
    EXPECT_EQ(readAll(held), QByteArray("old"));
    EXPECT_EQ(readAll(first + QStringLiteral("/Producao/Livre.dll")), QByteArray("new"));
    EXPECT_EQ(readAll(second + QStringLiteral("/Producao/Aberto.dll")), QByteArray("new"));
    EXPECT_TRUE(sync.rowNote(0).contains(QStringLiteral("Aberto.dll"))) << sync.rowNote(0).toStdString();
    EXPECT_TRUE(sync.rowNote(1).isEmpty());
}

TEST_F(SyncSvrsTest, ADestinationRemovedHalfWayFailsAloneAndTheOriginStaysWhole)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    for (int i = 0; i < 20; ++i)
        write(QStringLiteral("Origem/AppTivra/Producao/M%1/f%2.txt").arg(i % 4).arg(i), QByteArray::number(i));
    const QMap<QString, QByteArray> before = tree(origin);
    setOrigin(origin);
    const QString first = appDir(QStringLiteral("S1/AppTivra"));
    const QString gone = appDir(QStringLiteral("S2/AppTivra"));
    const QString third = appDir(QStringLiteral("S3/AppTivra"));
    const QString removedEarly = appDir(QStringLiteral("S4/AppTivra"));
    for (const QString &destination : {first, gone, third, removedEarly})
        typed(destination);
    int copiedIntoGone = 0;
    setCopyFaultForTesting([&](const QString &, const QString &destination) {
        if (destination.startsWith(gone) && ++copiedIntoGone == 5)
            QDir(gone).removeRecursively();
        return false;
    });
    QDir(removedEarly).removeRecursively();  // gone between the check and the copy
    const QStringList lines = sync.Sincronizar();
    EXPECT_EQ(status(0), kConcluido);
    EXPECT_EQ(status(1), kErro);
    EXPECT_EQ(status(2), kConcluido);
    EXPECT_EQ(status(3), kErro);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Diretório \"") + gone + QStringLiteral("\" - Não foi possível copiar")))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("Diretório \"") + removedEarly + QStringLiteral("\" - O diretório não foi encontrado."));
    EXPECT_FALSE(QFileInfo::exists(removedEarly));  // not created anew
    EXPECT_EQ(tree(origin), before);
    QMap<QString, QByteArray> copied = tree(third);
    EXPECT_EQ(copied, before);
    EXPECT_EQ(tree(first), before);
}

TEST_F(SyncSvrsTest, AReadOnlyDestinationIsRefusedAndAReadOnlySubFolderFailsItsCopy)
{
    TIVRA_SKIP_ON_WINDOWS_PERMISSIONS();
    testsupport::openToEveryone(site.root());
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    write(QStringLiteral("Origem/AppTivra/Producao/a.txt"), "a");
    const QString readOnly = appDir(QStringLiteral("RO/AppTivra"));
    const QString later = appDir(QStringLiteral("Later/AppTivra"));
    const QString good = appDir(QStringLiteral("Good/AppTivra"));
    for (const QString &folder : {QStringLiteral("Origem"), QStringLiteral("Origem/AppTivra"), QStringLiteral("Origem/AppTivra/Producao"),
                                  QStringLiteral("RO"), QStringLiteral("Later"), QStringLiteral("Good")})
        testsupport::openToEveryone(path(folder));
    ::chmod(QFile::encodeName(path(QStringLiteral("Origem/AppTivra/Producao/a.txt"))).constData(), 0644);
    for (const QString &folder : QStringList{readOnly, readOnly + QStringLiteral("/Producao")})
        ::chmod(QFile::encodeName(folder).constData(), 0555);
    for (const QString &folder : QStringList{later, good, good + QStringLiteral("/Producao")})
        ::chmod(QFile::encodeName(folder).constData(), 0777);
    ::chmod(QFile::encodeName(later + QStringLiteral("/Producao")).constData(), 0555);
    const int result = testsupport::runUnprivileged([&] {
        testsupport::ScriptedUserInterface quiet;
        quiet.allowUnexpected(true);
        InstallerSession child(quiet);
        SyncSvrs run(child);
        run.origemPadrao = origin;
        run.FormShow();
        for (const QString &folder : {readOnly, later, good}) {
            const int row = run.cdsDestinos.append({{QStringLiteral("PATH_DEST"), folder}});
            run.VerificaDestinoDigitado(row);
        }
        int bits = run.cdsDestinos.text(0, QStringLiteral("CAN_WRITE")) == kReprovado ? 1 : 0;
        bits |= run.cdsDestinos.text(1, QStringLiteral("CAN_WRITE")) == kAprovado ? 2 : 0;
        // The second's sub-folder is read-only: its check (of the folder itself) passes, its copy fails.
        const QStringList lines = run.Sincronizar();
        bits |= run.cdsDestinos.text(1, QStringLiteral("STATUS")) == kErro ? 4 : 0;
        bits |= run.cdsDestinos.text(2, QStringLiteral("STATUS")) == kConcluido ? 8 : 0;
        bits |= lines.size() == 1 ? 16 : 0;
        return bits;
    });
    for (const QString &folder : QStringList{readOnly, readOnly + QStringLiteral("/Producao"), later + QStringLiteral("/Producao")})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(result, 31);
    EXPECT_EQ(readAll(good + QStringLiteral("/Producao/a.txt")), QByteArray("a"));
    EXPECT_FALSE(QFileInfo::exists(readOnly + QStringLiteral("/Producao/a.txt")));
}

TEST_F(SyncSvrsTest, AnOriginOfTenThousandFilesReachesBothDestinationsWhole)
{
    const QString origin = appDir(QStringLiteral("Origem/AppTivra"));
    for (int i = 0; i < 10000; ++i)
        write(QStringLiteral("Origem/AppTivra/Producao/M%1/f%2.txt").arg(i % 50).arg(i), QByteArray::number(i));
    const QMap<QString, QByteArray> before = tree(origin);
    ASSERT_EQ(before.size(), 10000);
    setOrigin(origin);
    typed(appDir(QStringLiteral("S1/AppTivra")));
    typed(appDir(QStringLiteral("S2/AppTivra")));
    EXPECT_TRUE(sync.Sincronizar().isEmpty());
    EXPECT_EQ(tree(path(QStringLiteral("S1/AppTivra"))), before);
    EXPECT_EQ(tree(path(QStringLiteral("S2/AppTivra"))), before);
    EXPECT_EQ(tree(origin), before);
}

}  // namespace
}  // namespace tivra::synctest
