#include "remote/http.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <gtest/gtest.h>

using namespace tivra;

TEST(SiteReachable, AListeningLocalServerIsReachableAClosedPortIsNot)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    EXPECT_TRUE(remote::siteReachable(url, 2000));

    const quint16 port = server.serverPort();
    server.close();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(remote::siteReachable(QStringLiteral("http://127.0.0.1:%1/").arg(port), 2000));
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_FALSE(remote::siteReachable(QString(), 2000));
    EXPECT_FALSE(remote::siteReachable(QStringLiteral("ftp://127.0.0.1/"), 2000));
    timer.restart();
    EXPECT_FALSE(remote::siteReachable(QStringLiteral("http://www.maker.invalid/"), 2000));
    EXPECT_LT(timer.elapsed(), 100);
}
