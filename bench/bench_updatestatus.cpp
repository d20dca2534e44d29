// Cost of one UpdateStatus row with the status grid attached and shown (offscreen), measured
// when the grid already holds 100, 1 000 and 10 000 rows. Each row pumps the window's events, as
// in a real run, so the grid repaints after every row. The cost per row must not grow with the
// number of rows: the figure printed last is the ratio of the cost at 10 000 rows to the cost at
// 100 rows (the peer measured in the same run); about 1 is the goal.
#include "gui/qtuserinterface.h"
#include "gui/tfrinstaller.h"
#include "platform/system.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
const char *const kStages[] = {"01. Backup",
                               "02. Preparação do Pacote",
                               "03. Desligando Pacotes COM",
                               "04. Arquivos Binários",
                               "05. Arquivo de Versões",
                               "06. Scripts de Banco",
                               "07. Catálogo de Tabelas",
                               "09. Catálogo de Tabelas Estruturadas",
                               "10. Catálogo de Mensagens",
                               "11. Catálogo de Rótulos",
                               "08. Restrições de Funcionalidade",
                               "12. Inicializando Pacotes COM",
                               "13. Conclusão"};

void addRows(tivra::Installer &installer, int from, int count, int total)
{
    const int perStage = std::max(1, total / 13);
    for (int i = from; i < from + count; ++i) {
        const char *stage = kStages[std::min(12, i / perStage)];
        const int image = (i % 17 == 0) ? 2 : (i % 5 == 0 ? 3 : 1);
        installer.UpdateStatus(QStringLiteral("     Executando a instrução %1 do script no banco TIVRA_PROD: "
                                              "INSERT INTO CATALOGO_TABELAS (ID_CATALOGO_TABELA, NOME_TABELA) VALUES (%1, 'T')")
                                   .arg(i),
                               true, QString::fromUtf8(stage), image, true);
    }
}

// Milliseconds per row for `probe` rows added once the grid holds `size` rows.
double costAt(int size, int probe)
{
    tivra::gui::QtUserInterface ui;
    tivra::Installer installer(ui);
    QTemporaryDir dir;
    installer.installerDirectoryOverride = dir.path() + QLatin1Char('/');
    tivra::gui::TfrInstaller window(installer);
    ui.setParentWindow(&window);
    installer.FormCreate();
    installer.PreviewPage(tivra::tsLog);
    window.show();
    QApplication::processEvents();
    addRows(installer, 0, size, size + probe);
    QElapsedTimer timer;
    timer.start();
    addRows(installer, size, probe, size + probe);
    return double(timer.nsecsElapsed()) / 1e6 / probe;
}
}  // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tivra::platform::setCommandLineArguments({QStringLiteral("/noupdate")});
    const int probe = 200;
    const double at100 = costAt(100, probe);
    const double at1000 = costAt(1000, probe);
    const double at10000 = costAt(10000, probe);
    std::printf("UpdateStatus with the status grid shown (offscreen), %d rows measured at each size\n", probe);
    std::printf("  at    100 rows: %.3f ms/row\n", at100);
    std::printf("  at  1 000 rows: %.3f ms/row (ratio to 100: %.2f)\n", at1000, at1000 / at100);
    std::printf("  at 10 000 rows: %.3f ms/row (ratio to 100: %.2f)\n", at10000, at10000 / at100);
    return 0;
}
