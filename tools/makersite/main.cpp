// tivra-maker-site: runs the local maker's site until it is stopped (SIGINT or SIGTERM).
//   tivra-maker-site SITE_FOLDER PORT [TOKEN]
// SITE_FOLDER holds repo/ (the package repository) and users.txt; uploads land in uploads/.
#include "makersite.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int)
{
    stopRequested = 1;
}
}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "uso: tivra-maker-site PASTA_DO_SITE PORTA [TOKEN]\n");
        return 2;
    }
    bool ok = false;
    const int port = arguments.at(2).toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        std::fprintf(stderr, "porta inválida: %s\n", qPrintable(arguments.at(2)));
        return 2;
    }
    tivra::makersite::LocalMakerSite site(arguments.at(1), arguments.size() > 3 ? arguments.at(3) : QString());
    if (!site.start(port)) {
        std::fprintf(stderr, "não foi possível escutar em 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%s\n", qPrintable(site.siteAddress()));
    std::fflush(stdout);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!stopRequested)
        QThread::msleep(100);
    site.stop();
    return 0;
}
