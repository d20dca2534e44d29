#include "app/unattended.h"

#include "app/installer.h"

#include <QDir>
#include <cstdio>

namespace tivra {

namespace {
void printLine(const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
}  // namespace

int runUnattended(Installer &installer)
{
    installer.unattended = true;
    // Every page but the last can be left at most once per walk; the bound only guards against a
    // wizard that keeps going back.
    for (int step = 0; step < 64 && installer.runCount == 0; ++step) {
        const Page before = installer.activePage;
        installer.NextPage();
        if (installer.runCount > 0)
            break;
        if (installer.activePage == before) {
            printLine(QStringLiteral("Atualização não iniciada: a página \"") + installer.header.title
                      + QStringLiteral("\" não pôde ser concluída."));
            return ExitRefused;
        }
    }
    if (installer.runCount == 0) {
        printLine(QStringLiteral("Atualização não iniciada."));
        return ExitRefused;
    }

    switch (installer.lastRunResult) {
    case Installer::RunResult::Aborted:
        printLine(QStringLiteral("Processo de Atualização Interrompido!"));
        return ExitInterrupted;
    default: break;
    }
    printLine(installer.lastVerdict.title);
    printLine(installer.lastVerdict.subtitle);
    printLine(QStringLiteral("Log: ") + QDir::toNativeSeparators(installer.lastLogFile));
    printLine(QStringLiteral("Manual de Bordo: ") + QDir::toNativeSeparators(installer.lastLogbookFile));
    switch (installer.lastRunResult) {
    case Installer::RunResult::Completed: return ExitCompleted;
    case Installer::RunResult::CompletedWithFailures: return ExitCompletedWithFailures;
    default: return ExitInterrupted;
    }
}

}  // namespace tivra
