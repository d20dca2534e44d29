// The databases page, the tablespace window and the ad-hoc SQL window, driven offscreen through
// the scripted user interface.
#include "app/installer.h"
#include "db/credentials.h"
#include "db/embedded/emulation.h"
#include "gui/databasespage.h"
#include "gui/tfrexecqry.h"
#include "gui/tfrtablespaces.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
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

QStringList visibleHeaders(QTableView *grid)
{
    QStringList titles;
    QHeaderView *header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!grid->isColumnHidden(logical))
            titles << grid->model()->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    return titles;
}
}  // namespace

class DbWindowsTest : public QObject {
    Q_OBJECT
private:
    int column(const char *field) const { return installer->cdsDbs.fieldIndex(QLatin1String(field)); }
    void createDb(const QString &alias, const QStringList &tablespaces = {})
    {
        QString error;
        QVERIFY2(embedded::Emulation::createDatabase(site->installerDirectory() + QStringLiteral("Databases/") + alias + QStringLiteral(".db"),
                                                     tablespaces, QStringLiteral("tivra"), QStringLiteral("secret"), &error),
                 qPrintable(error));
    }
    int addEntry(const QString &alias, const QString &vendor, const QString &login, int image)
    {
        QVariantMap values;
        values.insert(QStringLiteral("ALIAS"), alias);
        values.insert(QStringLiteral("DESCRICAO"), QString(QStringLiteral("Banco ") + alias));
        values.insert(QStringLiteral("LOGIN"), login);
        values.insert(QStringLiteral("PASSWORD"), QStringLiteral("secret"));
        values.insert(QStringLiteral("IMAGE"), image);
        values.insert(QStringLiteral("VENDOR"), vendor);
        return installer->cdsDbs.append(values);
    }

    std::unique_ptr<testsupport::TestSite> site;
    std::unique_ptr<testsupport::ScriptedUserInterface> ui;
    std::unique_ptr<Installer> installer;

private Q_SLOTS:
    void init()
    {
        site = std::make_unique<testsupport::TestSite>();
        ui = std::make_unique<testsupport::ScriptedUserInterface>();
        installer = std::make_unique<Installer>(*ui);
        installer->session.installerDirectory = site->installerDirectory();
        installer->session.pathAppTivra = site->appDirectory();
        QDir().mkpath(site->installerDirectory() + QStringLiteral("Databases"));
        site->writeFile(QStringLiteral("installer/Drivers.ini"),
                        "[ORACLE]\r\nTransport=Embedded\r\nFolder=Databases\r\n[DB2]\r\nTransport=Embedded\r\nFolder=Databases\r\n");
    }

    void cleanup()
    {
        installer.reset();
        ui.reset();
        site.reset();
    }

    void databasesPageContent()
    {
        gui::DatabasesPage page(*installer);
        addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 1);
        page.resize(760, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(visibleHeaders(page.grid()), (QStringList{QStringLiteral("Alias"), QStringLiteral("Descrição"), QStringLiteral("Usuário"),
                                                           QStringLiteral("Senha"), QString()}));
        QVERIFY(page.grid()->isColumnHidden(column("VENDOR")));
        QCOMPARE(page.grid()->model()->headerData(column("VENDOR"), Qt::Horizontal).toString(), QStringLiteral("Tipo"));
        auto *explanation = page.findChild<QLabel *>(QStringLiteral("lbExplicacao"));
        QVERIFY(explanation && explanation->text().startsWith(QStringLiteral("Informe os dados de acesso ao banco de dados")));
        QVERIFY(explanation->text().endsWith(QStringLiteral("clique em \"Validar\" para verificar a autenticação em todos os bancos.")));
        QCOMPARE(page.findChild<QLabel *>(QStringLiteral("lbNota"))->text(),
                 QStringLiteral("Para ignorar a instalação em um ou mais bancos, remova o Usuário e clique em Validar."));
        QCOMPARE(page.findChild<QToolButton *>(QStringLiteral("btRecarregar"))->toolTip(), QStringLiteral("Recarregar"));
        auto *validate = page.findChild<QPushButton *>(QStringLiteral("btValidarDbs"));
        QCOMPARE(validate->text(), QStringLiteral("Vali&dar Bancos"));
        QCOMPARE(validate->toolTip(), QStringLiteral("Validar Bancos"));
        auto *legend = page.findChild<QGroupBox *>(QStringLiteral("gbLegenda"));
        QCOMPARE(legend->title(), QStringLiteral("Legenda"));
        QStringList texts;
        for (QLabel *label : legend->findChildren<QLabel *>())
            if (!label->text().isEmpty())
                texts << label->text();
        QCOMPARE(texts, (QStringList{QStringLiteral("Aguardando"), QStringLiteral("Autenticado com Sucesso"),
                                     QStringLiteral("Autenticação Negada"), QStringLiteral("Ignorado")}));
        for (int code = 0; code < 4; ++code)
            QVERIFY(!legend->findChild<QLabel *>(QStringLiteral("imgLegenda%1").arg(code))->pixmap().isNull());
        saveShot(page, QStringLiteral("db-databases-page"));
    }

    void passwordIsShownMasked()
    {
        gui::DatabasesPage page(*installer);
        const int row = addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 1);
        page.resize(760, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto shot = [&]() { return page.grid()->viewport()->grab().toImage(); };
        installer->cdsDbs.setValue(row, QStringLiteral("PASSWORD"), QStringLiteral("abcdef"));
        const QImage first = shot();
        installer->cdsDbs.setValue(row, QStringLiteral("PASSWORD"), QStringLiteral("zyxwvu"));
        QCOMPARE(shot(), first);  // same length, same stars
        installer->cdsDbs.setValue(row, QStringLiteral("PASSWORD"), QStringLiteral("zy"));
        QVERIFY(shot() != first);
        // The editor masks too.
        const QModelIndex cell = page.grid()->model()->index(0, column("PASSWORD"));
        page.grid()->setCurrentIndex(cell);  // the editor opens at once
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = page.grid()->findChild<QLineEdit *>()) != nullptr);
        QCOMPARE(editor->echoMode(), QLineEdit::Password);
    }

    void editingResetsTheStateAndEnterMovesOn()
    {
        gui::DatabasesPage page(*installer);
        const int row = addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 2);
        page.resize(760, 420);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QModelIndex login = page.grid()->model()->index(0, column("LOGIN"));
        page.grid()->setFocus();
        page.grid()->setCurrentIndex(login);  // the editor opens at once
        QTRY_VERIFY(page.grid()->findChild<QLineEdit *>() != nullptr);
        QCOMPARE(installer->cdsDbs.integer(row, QStringLiteral("IMAGE")), 0);
        auto *editor = page.grid()->findChild<QLineEdit *>();
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("novo"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(installer->cdsDbs.text(row, QStringLiteral("LOGIN")), QStringLiteral("novo"));
        QTRY_COMPARE(page.grid()->currentIndex().column(), column("PASSWORD"));
        QTRY_VERIFY(page.grid()->findChild<QLineEdit *>() && page.grid()->findChild<QLineEdit *>()->isVisible());
        QCOMPARE(page.grid()->findChild<QLineEdit *>()->echoMode(), QLineEdit::Password);
        // Sorting by a header keeps the rows tied to their entries.
        addEntry(QStringLiteral("AAA"), QStringLiteral("ORACLE"), QStringLiteral("x"), 0);
        page.grid()->sortByColumn(column("ALIAS"), Qt::AscendingOrder);
        QCOMPARE(page.entryOfGridRow(0), 1);
    }

    void validateAndReloadButtons()
    {
        createDb(QStringLiteral("PROD"));
        site->writeVersoesIni("[Aliases]\r\nPROD,L=Produ\xe7\xe3o\r\nHML=Homologa\xe7\xe3o\r\n");
        const QByteArray user = EncodeCredential(QStringLiteral("tivra"), installer->session.build.credentialKeyUser).toLatin1();
        const QByteArray pass = EncodeCredential(QStringLiteral("secret"), installer->session.build.credentialKeyPassword).toLatin1();
        site->writeFile(QStringLiteral("installer/registry.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n\"UserName\"=\"" + user +
                            "\"\r\n\"Password\"=\"" + pass + "\"\r\n\"DBVendor\"=\"ORACLE\"\r\n");
        gui::DatabasesPage page(*installer);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.findChild<QToolButton *>(QStringLiteral("btRecarregar"))->click();
        QCOMPARE(installer->cdsDbs.count(), 2);
        QCOMPARE(installer->cdsDbs.text(0, QStringLiteral("DESCRICAO")), QStringLiteral("Produção"));
        page.findChild<QPushButton *>(QStringLiteral("btValidarDbs"))->click();
        QCOMPARE(installer->cdsDbs.integer(0, QStringLiteral("IMAGE")), 1);
        QCOMPARE(installer->cdsDbs.integer(1, QStringLiteral("IMAGE")), 3);  // no registry key: ignored
        saveShot(page, QStringLiteral("db-databases-validated"));

        // A value that is not enciphered text reaches the user as the window's error message.
        site->writeFile(QStringLiteral("installer/registry.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n\"UserName\"=\"n\xe3o!\"\r\n");
        ui->answerNext(UserInterface::Ok);
        page.findChild<QToolButton *>(QStringLiteral("btRecarregar"))->click();
        QCOMPARE(ui->boxes().size(), size_t(1));
        QCOMPARE(ui->boxes()[0].box.caption, QStringLiteral("Instalador Tivra*"));
        QCOMPARE(ui->boxes()[0].box.text, QStringLiteral("Blowfish: Error converting from Base64 - invalid character"));
        QCOMPARE(ui->boxes()[0].box.icon, UserInterface::Icon::Error);
        QCOMPARE(installer->cdsDbs.count(), 0);
    }

    void tableSpaceWindowRefusesUntilEveryRowIsMapped()
    {
        createDb(QStringLiteral("PROD"), {QStringLiteral("dados"), QStringLiteral("indices")});
        addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 1);
        installer->session.package.tableSpaces = {QStringLiteral("TS_DADOS"), QStringLiteral("TS_INDICES")};
        gui::TfrTableSpaces window(installer->session);
        QCOMPARE(window.windowTitle(), QStringLiteral("Relacionar TableSpaces"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(installer->session.cdsTS.count(), 2);
        QCOMPARE(visibleHeaders(window.grid()),
                 (QStringList{QStringLiteral("Banco"), QStringLiteral("TableSpace Padrão"), QStringLiteral("TableSpace Destino")}));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lbInstrucao"))->text(),
                 QStringLiteral("Informe o tablespace correspondente onde os scripts devem ser executados."));

        ui->answerNext(UserInterface::Ok);
        window.findChild<QPushButton *>(QStringLiteral("btConfirmar"))->click();
        QVERIFY(window.isVisible());
        QCOMPARE(ui->boxes().back().box.text, QStringLiteral("Existem tablespaces que não foram relacionadas."));
        QCOMPARE(ui->boxes().back().box.caption, QStringLiteral("Aviso"));
        QVERIFY(!installer->session.tableSpacesConfirmed);

        const int target = installer->session.cdsTS.fieldIndex(QStringLiteral("TS_NEW"));
        for (int row = 0; row < 2; ++row) {
            const QModelIndex cell = window.grid()->model()->index(row, target);
            window.grid()->setCurrentIndex(cell);  // the drop-down opens at once
            QComboBox *combo = nullptr;
            QTRY_VERIFY((combo = window.grid()->findChild<QComboBox *>(QStringLiteral("cbTsNew"))) != nullptr);
            QCOMPARE(combo->count(), 2);
            QCOMPARE(combo->itemText(0), QStringLiteral("DADOS"));
            combo->hidePopup();
            combo->setCurrentIndex(row);
            window.grid()->setCurrentIndex(window.grid()->model()->index(row, 1));
            QTRY_VERIFY(window.grid()->findChild<QComboBox *>(QStringLiteral("cbTsNew")) == nullptr);
        }
        QCOMPARE(installer->session.cdsTS.text(1, QStringLiteral("TS_NEW")), QStringLiteral("INDICES"));
        saveShot(window, QStringLiteral("db-tablespaces"));
        window.findChild<QPushButton *>(QStringLiteral("btConfirmar"))->click();
        QVERIFY(!window.isVisible());
        QVERIFY(installer->session.tableSpacesConfirmed);
        // Reopening keeps the choices and asks again.
        window.show();
        QVERIFY(!installer->session.tableSpacesConfirmed);
        QCOMPARE(installer->session.cdsTS.text(0, QStringLiteral("TS_NEW")), QStringLiteral("DADOS"));
        window.findChild<QPushButton *>(QStringLiteral("btConfirmar"))->click();
        QVERIFY(installer->session.tableSpacesConfirmed);
    }

    void execQryWindow()
    {
        createDb(QStringLiteral("PROD"));
        gui::TfrExecQry window(installer->session);
        QCOMPARE(window.windowTitle(), QStringLiteral("Executar SQL"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.execute()->isEnabled());  // no validated database
        window.hide();

        addEntry(QStringLiteral("NEGADO"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 2);
        addEntry(QStringLiteral("PROD"), QStringLiteral("ORACLE"), QStringLiteral("tivra"), 1);
        window.statement()->setPlainText(QStringLiteral("sobra"));
        window.select()->setChecked(true);
        window.show();
        QCOMPARE(window.aliases()->count(), 1);
        QCOMPARE(window.aliases()->currentText(), QStringLiteral("PROD"));
        QVERIFY(window.execute()->isEnabled());
        QVERIFY(window.statement()->toPlainText().isEmpty());
        QVERIFY(!window.select()->isChecked());

        window.statement()->setPlainText(QStringLiteral("CREATE TABLE T (ID INTEGER, NOME VARCHAR(10))"));
        ui->answerNext(UserInterface::Ok);
        window.execute()->click();
        QCOMPARE(ui->boxes().back().box.text, QStringLiteral("Executado!"));
        ui->answerNext(UserInterface::Ok);
        window.execute()->click();  // the table exists: ORA-00955 is expected
        QCOMPARE(ui->boxes().back().box.text, QStringLiteral("Executado!"));
        QVERIFY(installer->session.status.logText().join(QString()).contains(QStringLiteral("[VALIDADO PELO INSTALADOR]")));

        window.select()->setChecked(true);
        window.statement()->setPlainText(QStringLiteral("SELECT * FROM T"));
        window.execute()->click();
        QCOMPARE(window.result()->model()->columnCount(), 2);
        QCOMPARE(window.result()->model()->rowCount(), 0);
        QCOMPARE(window.result()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("NOME"));
        window.select()->setChecked(false);
        window.statement()->setPlainText(QStringLiteral("INSERT INTO T VALUES (1, 'um')"));
        ui->answerNext(UserInterface::Ok);
        window.execute()->click();
        window.select()->setChecked(true);
        window.statement()->setPlainText(QStringLiteral("SELECT NOME FROM T"));
        window.execute()->click();
        QCOMPARE(window.result()->model()->rowCount(), 1);
        QCOMPARE(window.result()->model()->index(0, 0).data().toString(), QStringLiteral("um"));
        // A failing query keeps the grid and shows the database's text.
        window.statement()->setPlainText(QStringLiteral("SELECT * FROM NAO_EXISTE"));
        ui->answerNext(UserInterface::Ok);
        window.execute()->click();
        QVERIFY(ui->boxes().back().box.text.startsWith(QStringLiteral("ORA-00942")));
        QCOMPARE(window.result()->model()->rowCount(), 1);
        saveShot(window, QStringLiteral("db-execqry"));
    }
};

QTEST_MAIN(DbWindowsTest)
#include "db_windows_test.moc"
