// The server synchronisation window driven offscreen through the scripted user interface: its
// content, the destination editor with its folder button, the colours of the state columns, the
// copy with its progress dialog, the main window's two buttons, and a screenshot.
#include "app/installer.h"
#include "gui/tfrsyncsvrs.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace tivra;

namespace {
void saveShot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("TIVRA_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}
}  // namespace

class SyncWindowTest : public QObject {
    Q_OBJECT
private:
    QString appDir(const QString &relative) const
    {
        const QString folder = site->root() + QLatin1Char('/') + relative;
        QDir().mkpath(folder + QStringLiteral("/Producao"));
        return folder;
    }
    int column(const char *field) const { return window->logic().cdsDestinos.fieldIndex(QLatin1String(field)); }
    QString cell(int row, const char *field) const { return window->logic().cdsDestinos.text(row, QLatin1String(field)); }
    // Opens the path editor of a row.
    QWidget *openEditor(int row)
    {
        const QModelIndex index = window->grid()->model()->index(row, column("PATH_DEST"));
        window->grid()->setCurrentIndex(index);
        window->grid()->edit(index);
        QApplication::processEvents();
        return window->grid()->findChild<QWidget *>(QStringLiteral("PathDestEditor"));
    }

    std::unique_ptr<testsupport::TestSite> site;
    std::unique_ptr<testsupport::ScriptedUserInterface> ui;
    std::unique_ptr<Installer> installer;
    std::unique_ptr<gui::TfrSyncSvrs> window;

private Q_SLOTS:
    void init()
    {
        site = std::make_unique<testsupport::TestSite>();
        ui = std::make_unique<testsupport::ScriptedUserInterface>();
        ui->allowUnexpected(true);
        installer = std::make_unique<Installer>(*ui);
        installer->session.installerDirectory = site->installerDirectory();
        installer->session.pathAppTivra = appDir(QStringLiteral("Sistema/AppTivra"));
        window = std::make_unique<gui::TfrSyncSvrs>(installer->session);
    }

    void cleanup()
    {
        window.reset();
        installer.reset();
        ui.reset();
        site.reset();
    }

    void content()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Sincronizar Arquivos entre servidores"));
        QCOMPARE(window->notice()->toPlainText().split(QLatin1Char('\n')), gui::TfrSyncSvrs::noticeLines());
        QCOMPARE(gui::TfrSyncSvrs::noticeLines().size(), 6);
        QVERIFY(gui::TfrSyncSvrs::noticeLines()[3].isEmpty());
        QVERIFY(window->notice()->isReadOnly());
        QCOMPARE(window->notice()->palette().color(QPalette::Text), QColor(Qt::red));
        QStringList groups;
        for (QGroupBox *group : window->findChildren<QGroupBox *>())
            groups << group->title();
        QCOMPARE(groups, (QStringList{QStringLiteral("Servidor de Origem dos Arquivos (Diretório AppTivra)"),
                                      QStringLiteral("Servidores de Destino")}));
        QVERIFY(window->origin()->isReadOnly());
        QCOMPARE(window->syncButton()->text(), QStringLiteral("&Sincronizar"));
        QCOMPARE(window->cancelButton()->text(), QStringLiteral("&Cancelar"));
        QStringList headers;
        QHeaderView *header = window->grid()->horizontalHeader();
        for (int logical = 0; logical < header->count(); ++logical) {
            if (!window->grid()->isColumnHidden(logical))
                headers << window->grid()->model()->headerData(logical, Qt::Horizontal).toString();
        }
        QCOMPARE(headers, (QStringList{QStringLiteral("Diretório AppTivra"), QStringLiteral("Permissão de Escrita"),
                                       QStringLiteral("Status")}));
        for (const char *centred : {"CAN_WRITE", "STATUS"})
            QCOMPARE(window->grid()->model()->headerData(column(centred), Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                     int(Qt::AlignCenter));

        // The progress dialog: its title, no bar, no cancel button.
        TProgressForm &progress = window->progress();
        QCOMPARE(progress.Titulo(), QStringLiteral("Sincronizando Arquivos, aguarde..."));
        QVERIFY(!progress.MostraProgresso);
        QVERIFY(!progress.MostraCancelar);
    }

    void bothMainWindowButtonsOpenIt()
    {
        window->openOnRequest(*installer);
        QStringList origins;
        const auto closeSoon = [&] {
            QTimer::singleShot(0, window.get(), [&] {
                origins << window->origin()->text();
                window->reject();
            });
        };
        closeSoon();
        installer->btSyncSvrClick();
        closeSoon();
        installer->btSyncSvrFinalClick();
        QCOMPARE(origins, (QStringList{QString(), installer->session.pathAppTivra}));
        QVERIFY(!window->syncButton()->isEnabled());
        QVERIFY(!window->removeButton()->isEnabled());
    }

    void destinationsByButtonAndByTyping()
    {
        window->setOrigemPadrao(installer->session.pathAppTivra);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->origin()->text(), installer->session.pathAppTivra);

        // "Adicionar" opens the chooser for the new row.
        const QString first = appDir(QStringLiteral("S1/AppTivra"));
        ui->chooseNext(first);
        QTest::mouseClick(window->addButton(), Qt::LeftButton);
        QCOMPARE(cell(0, "PATH_DEST"), first);
        QCOMPARE(cell(0, "CAN_WRITE"), QStringLiteral("Aprovado"));
        QVERIFY(window->syncButton()->isEnabled());
        QVERIFY(window->removeButton()->isEnabled());

        // The folder button inside the row's editor chooses again; the typed text is dropped.
        QDir().mkpath(site->root() + QStringLiteral("/Novo/AppTivra"));
        QWidget *editor = openEditor(0);
        QVERIFY(editor);
        editor->findChild<QLineEdit *>(QStringLiteral("edPathDest"))->setText(QStringLiteral("digitado"));
        ui->chooseNext(site->root() + QStringLiteral("/Novo/AppTivra"));
        QTest::mouseClick(editor->findChild<QToolButton *>(QStringLiteral("btPathDest")), Qt::LeftButton);
        QTRY_COMPARE(cell(0, "PATH_DEST"), site->root() + QStringLiteral("/Novo/AppTivra"));
        QCOMPARE(ui->chooserTitles().last(), QStringLiteral("Diretório de Destino"));

        // A typed folder without markers is refused and blocks "&Sincronizar".
        ui->chooseNext(QString());
        QTest::mouseClick(window->addButton(), Qt::LeftButton);
        editor = openEditor(1);
        QVERIFY(editor);
        auto *edit = editor->findChild<QLineEdit *>(QStringLiteral("edPathDest"));
        edit->setText(site->root() + QStringLiteral("/Novo/AppTivra"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(cell(1, "CAN_WRITE"), QStringLiteral("Reprovado"));
        QCOMPARE(cell(1, "STATUS"), QStringLiteral("Aguardando"));
        QVERIFY(!window->syncButton()->isEnabled());

        // Colours of the state columns.
        QAbstractItemModel *model = window->grid()->model();
        QCOMPARE(model->index(0, column("CAN_WRITE")).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 128, 0));
        QCOMPARE(model->index(1, column("CAN_WRITE")).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QCOMPARE(model->index(1, column("STATUS")).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        QVERIFY(model->index(1, column("CAN_WRITE")).data(Qt::ToolTipRole).toString().contains(QStringLiteral("não é um diretório AppTivra")));

        // Removing the refused row enables the copy again.
        window->grid()->setCurrentIndex(model->index(1, column("PATH_DEST")));
        QTest::mouseClick(window->removeButton(), Qt::LeftButton);
        QCOMPARE(window->logic().cdsDestinos.count(), 1);
        QVERIFY(window->syncButton()->isEnabled());
    }

    void copyClosesTheWindowAndNothingClosesItMeanwhile()
    {
        const QString origin = installer->session.pathAppTivra;
        site->writeFile(QStringLiteral("Sistema/AppTivra/Producao/a.txt"), "a");
        window->setOrigemPadrao(origin);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QString destination = appDir(QStringLiteral("S1/AppTivra"));
        ui->chooseNext(destination);
        QTest::mouseClick(window->addButton(), Qt::LeftButton);

        // While a copy runs the controls are disabled and the window does not close.
        bool disabledDuringCopy = false;
        bool stayedOpen = false;
        window->logic().showProgress = [&](bool shown) {
            window->progress().setShown(shown);
            if (shown) {
                disabledDuringCopy = !window->syncButton()->isEnabled() && !window->cancelButton()->isEnabled()
                    && !window->addButton()->isEnabled() && !window->grid()->isEnabled();
                window->reject();
                stayedOpen = window->isVisible();
            }
        };
        ui->answerNext(UserInterface::Yes);
        ui->answerNext(UserInterface::Ok);
        QTest::mouseClick(window->syncButton(), Qt::LeftButton);
        QVERIFY(disabledDuringCopy);
        QVERIFY(stayedOpen);
        QCOMPARE(cell(0, "STATUS"), QStringLiteral("Concluído"));
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QVERIFY(ui->lastProgressView());
        QCOMPARE(ui->lastProgressView()->title, QStringLiteral("Sincronizando Arquivos, aguarde..."));
        QVERIFY(!ui->lastProgressView()->visible);
        QVERIFY(!ui->lastProgressView()->barVisible);
        QVERIFY(!ui->lastProgressView()->cancelVisible);
        QCOMPARE(ui->boxes().back().box.text, QStringLiteral("Sincronização de Arquivos Concluída!"));
    }

    void screenshot()
    {
        const QString origin = installer->session.pathAppTivra;
        site->writeFile(QStringLiteral("Sistema/AppTivra/Producao/a.txt"), "a");
        window->setOrigemPadrao(origin);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        SyncSvrs &sync = window->logic();
        for (const QString &folder : {QStringLiteral("Servidor2/AppTivra"), QStringLiteral("Servidor3/AppTivra")}) {
            const int row = sync.cdsDestinos.append(QVariantMap{{QStringLiteral("PATH_DEST"), appDir(folder)}});
            sync.VerificaDestinoDigitado(row);
        }
        sync.Sincronizar();
        const int refused = sync.cdsDestinos.append(QVariantMap{{QStringLiteral("PATH_DEST"), QString(site->root() + QStringLiteral("/Servidor4/AppTivra"))}});
        sync.VerificaDestinoDigitado(refused);
        sync.cdsDestinos.append(QVariantMap{{QStringLiteral("PATH_DEST"), appDir(QStringLiteral("Servidor5/AppTivra"))},
                                 {QStringLiteral("CAN_WRITE"), QStringLiteral("Aprovado")},
                                 {QStringLiteral("STATUS"), QStringLiteral("Erro")}});
        sync.HabilitaSincronizar();
        QApplication::processEvents();
        QCOMPARE(cell(0, "STATUS"), QStringLiteral("Concluído"));
        QCOMPARE(cell(2, "CAN_WRITE"), QStringLiteral("Reprovado"));
        const QImage image = window->grab().toImage();
        QVERIFY(image.width() >= 700 && image.height() >= 400);
        saveShot(*window, QStringLiteral("sync-window"));
    }
};

QTEST_MAIN(SyncWindowTest)
#include "sync_window_test.moc"
