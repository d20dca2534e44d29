// The HTTP client against a real HTTP server on 127.0.0.1 (the local maker's site): text fetch,
// downloads that replace a file only when complete, the exact bytes of the form posts, and the
// bounds kept against servers that misbehave.
#include "makersite.h"
#include "remote/httpclient.h"
#include "support/testsite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

using namespace tivra;
using makersite::LocalMakerSite;

namespace {
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    QString url(const QString &path) const { return server.siteAddress() + path; }
    QString write(const QString &relative, const QByteArray &bytes)
    {
        return site.writeFile(QStringLiteral("site/") + relative, bytes);
    }

    testsupport::TestSite site;
    LocalMakerSite server{site.root() + QStringLiteral("/site"), QStringLiteral("tvrk")};
};
}  // namespace

TEST_F(HttpClientTest, TextFetchGivesTheBodyWhateverTheStatusAndNothingWhenUnreachable)
{
    write("repo/Versoes.txt", "2.1.0|Todos|S|10,5 MB|S\r\nVers\xe3o\r\n");
    EXPECT_EQ(remote::fetchText(server.repositoryAddress() + "Versoes.txt"),
              QStringLiteral("2.1.0|Todos|S|10,5 MB|S\r\nVersão\r\n"));
    const remote::HttpResult error = remote::httpGet(url("misbehave/status500"));
    EXPECT_TRUE(error.transferred);
    EXPECT_FALSE(error.ok());
    EXPECT_EQ(error.status, 500);
    EXPECT_EQ(error.body, QByteArray("erro interno"));
    EXPECT_EQ(remote::fetchText(url("misbehave/status500")), QStringLiteral("erro interno"));
    // The user list wants its token.
    write("users.txt", "joao;abc\r\n");
    EXPECT_EQ(remote::fetchText(url("sac/util/list_users.php?access=tvrk")), QStringLiteral("joao;abc\r\n"));
    EXPECT_EQ(remote::httpGet(url("sac/util/list_users.php?access=xxxx")).status, 403);

    const int port = server.port();
    server.stop();
    EXPECT_TRUE(remote::fetchText(QStringLiteral("http://127.0.0.1:%1/repo/Versoes.txt").arg(port)).isEmpty());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(remote::httpGet(QStringLiteral("http://packages.maker.invalid/tivra/Versoes.txt")).transferred);
    EXPECT_LT(timer.elapsed(), 100);  // never looked up
}

TEST_F(HttpClientTest, MisbehavingServersAreBoundedAndPumpKeepsRunning)
{
    int pumps = 0;
    remote::HttpOptions options;
    options.totalTimeoutMs = 1500;
    options.maxBodyBytes = 1024 * 1024;
    options.pump = [&pumps] { ++pumps; };
    QElapsedTimer timer;
    timer.start();
    // Accepts and never answers: the whole-request bound ends it, the pump runs meanwhile.
    const remote::HttpResult silent = remote::httpGet(url("misbehave/silent"), options);
    EXPECT_FALSE(silent.transferred);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_GT(pumps, 10);
    // A redirect loop, a 2 GiB answer, a connection closed half-way: failures, never a hang.
    EXPECT_FALSE(remote::httpGet(url("misbehave/loop"), options).transferred);
    const remote::HttpResult huge = remote::httpGet(url("misbehave/huge"), options);
    EXPECT_FALSE(huge.transferred);
    EXPECT_TRUE(huge.body.isEmpty());
    EXPECT_FALSE(remote::httpGet(url("misbehave/halfway"), options).transferred);
    EXPECT_LT(timer.elapsed(), 15000);
}

TEST_F(HttpClientTest, DownloadsReplaceTheFileOnlyWhenComplete)
{
    const QByteArray package(300 * 1024, 'p');
    write("repo/2.1.0/Update.pack", package);
    const QString target = site.writeFile(QStringLiteral("installer/Update.pack"), "former package");
    std::vector<qint64> seen;
    const remote::HttpResult done = remote::downloadToFile(
        server.repositoryAddress() + "2.1.0/Update.pack", target, [&seen](qint64 received, qint64) {
            seen.push_back(received);
            return true;
        });
    ASSERT_TRUE(done.ok()) << done.error.toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), package);
    file.close();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), package.size());

    // Cancelled, missing, cut half-way: the former file stays whole and no temporary is left.
    site.writeFile(QStringLiteral("installer/Update.pack"), "former package");
    EXPECT_FALSE(remote::downloadToFile(server.repositoryAddress() + "2.1.0/Update.pack", target,
                                        [](qint64 received, qint64) { return received == 0; })
                     .transferred);
    EXPECT_FALSE(remote::downloadToFile(server.repositoryAddress() + "9.9.9/Update.pack", target).transferred);
    EXPECT_FALSE(remote::downloadToFile(url("misbehave/halfway"), target).transferred);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("former package"));
    EXPECT_EQ(QDir(site.installerDirectory()).entryList(QDir::Files), QStringList{"Update.pack"});
}

TEST_F(HttpClientTest, FormPostSendsTheExactBodyWithItsTrailingZeroByte)
{
    // A log with Windows-1252 accents and a zero byte, in a folder whose name has blanks.
    const QByteArray log = QByteArray("Atualiza\xe7\xe3o conclu\xed" "da\r\n") + QByteArray(1, '\0') + "fim\r\n";
    const QString path = write("meus logs/0042_Log_O1.0.001.txt", log);
    remote::PostFormFiles(url("InstallerLogs/index.php"), {"arquivo"}, {path});
    const auto uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const QByteArray boundary = "---------------------------123456789";
    EXPECT_EQ(QByteArray(remote::kFormBoundary), boundary);
    const QByteArray expected = "--" + boundary + "\r\n"
                                + "Content-Disposition: form-data; name=\"arquivo\"; filename=\"" + QFile::encodeName(path)
                                + "\"\r\n" + "Content-Type: text/html\r\n\r\n" + log + "\r\n" + "--" + boundary
                                + "--\r\n" + QByteArray(1, '\0');
    EXPECT_EQ(uploads[0].body, expected);
    EXPECT_EQ(uploads[0].contentType, "multipart/form-data; boundary=" + boundary);
    EXPECT_EQ(uploads[0].path, QStringLiteral("/InstallerLogs/index.php"));
    // A file that cannot be read sends nothing.
    remote::PostFormFiles(url("InstallerLogs/index.php"), {"arquivo"}, {site.root() + "/nao-existe.txt"});
    EXPECT_EQ(server.uploads().size(), 1u);
}

TEST_F(HttpClientTest, MultipartPostCarriesTheFileAsItsPart)
{
    const QByteArray archive("PK\x03\x04 modelo", 12);
    const QString path = write("Modelo_TIVRA_PROD.zip", archive);
    remote::PostFileMultipart(url("InstallerLogs/DatabaseModels/index.php"), "logfile", path);
    const auto uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_TRUE(uploads[0].contentType.startsWith("multipart/form-data; boundary="));
    const QByteArray &body = uploads[0].body;
    EXPECT_TRUE(body.contains(QByteArray("Content-Disposition: form-data; name=\"logfile\"; filename=\"" + QFile::encodeName(path) + "\"")))
        << body.toStdString();
    EXPECT_TRUE(body.contains(QByteArray("Content-Type: multipart/form-data;\r\n\r\n" + archive + "\r\n")));
    // Nothing is sent for a missing file or to a reserved address, and nothing is raised.
    remote::PostFileMultipart(url("InstallerLogs/DatabaseModels/index.php"), "logfile", site.root() + "/nao-existe.zip");
    remote::PostFileMultipart("http://www.maker.invalid/InstallerLogs/DatabaseModels/index.php", "logfile", path);
    EXPECT_EQ(server.uploads().size(), 1u);
}
