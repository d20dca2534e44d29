#include "makersite.h"

#include <QDir>
#include <QFile>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace tivra::makersite {

struct LocalMakerSite::Impl {
    QString folder;
    std::string token;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> requests{0};
    mutable std::mutex mutex;
    std::vector<Upload> uploads;

    void record(const httplib::Request &request, const std::string &name)
    {
        Upload upload;
        upload.path = QString::fromStdString(request.path);
        for (const auto &[key, value] : request.headers)
            upload.headers += QByteArray::fromStdString(key) + ": " + QByteArray::fromStdString(value) + "\n";
        upload.contentType = QByteArray::fromStdString(request.has_header("X-Original-Content-Type")
                                                           ? request.get_header_value("X-Original-Content-Type")
                                                           : request.get_header_value("Content-Type"));
        upload.body = QByteArray::fromStdString(request.body);
        std::lock_guard<std::mutex> lock(mutex);
        uploads.push_back(upload);
        const QString base = QDir(folder).filePath(QStringLiteral("uploads/%1-%2").arg(uploads.size(), 3, 10, QLatin1Char('0'))
                                                       .arg(QString::fromStdString(name)));
        QDir().mkpath(QDir(folder).filePath(QStringLiteral("uploads")));
        QFile bodyFile(base + QStringLiteral(".bin"));
        if (bodyFile.open(QIODevice::WriteOnly))
            bodyFile.write(upload.body);
        QFile headerFile(base + QStringLiteral(".txt"));
        if (headerFile.open(QIODevice::WriteOnly))
            headerFile.write("POST " + upload.path.toUtf8() + "\n" + upload.headers);
    }

    void routes()
    {
        server.set_logger([this](const httplib::Request &, const httplib::Response &) { ++requests; });
        server.Get("/", [](const httplib::Request &, httplib::Response &response) {
            response.set_content("Tivra*", "text/plain");
        });
        // The raw bytes of a form post are what the tests compare, but the server parses a
        // multipart body into parts before any handler could see it. So the request's content type
        // is set aside before routing (the request object is the server's own, owned by this
        // connection) and the body then arrives as plain bytes.
        server.set_pre_routing_handler([](const httplib::Request &request, httplib::Response &) {
            auto &mutableRequest = const_cast<httplib::Request &>(request);
            const std::string type = mutableRequest.get_header_value("Content-Type");
            if (type.rfind("multipart/", 0) == 0) {
                mutableRequest.headers.erase("Content-Type");
                mutableRequest.headers.emplace("Content-Type", "application/octet-stream");
                mutableRequest.headers.emplace("X-Original-Content-Type", type);
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        // The raw body of a form post is kept.
        const auto upload = [this](const std::string &name) {
            return [this, name](const httplib::Request &request, httplib::Response &response,
                                const httplib::ContentReader &reader) {
                httplib::Request copy = request;
                std::string body;
                reader([&body](const char *data, size_t length) {
                    body.append(data, length);
                    return true;
                });
                copy.body = body;
                record(copy, name);
                response.set_content("OK", "text/plain");
            };
        };
        server.Post("/InstallerLogs/index.php", upload("logs"));
        server.Post("/InstallerLogs/DatabaseModels/index.php", upload("models"));
        server.Get("/sac/util/list_users.php", [this](const httplib::Request &request, httplib::Response &response) {
            if (request.get_param_value("access") != token) {
                response.status = 403;
                return;
            }
            QFile file(QDir(folder).filePath(QStringLiteral("users.txt")));
            response.set_content(file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string(),
                                 "text/plain");
        });
        const std::string repository = QDir(folder).filePath(QStringLiteral("repo")).toStdString();
        QDir().mkpath(QString::fromStdString(repository));
        server.set_mount_point("/repo", repository);

        server.Get("/misbehave/status500", [](const httplib::Request &, httplib::Response &response) {
            response.status = 500;
            response.set_content("erro interno", "text/plain");
        });
        server.Get("/misbehave/loop", [](const httplib::Request &, httplib::Response &response) {
            response.set_redirect("/misbehave/loop");
        });
        server.Get("/misbehave/huge", [](const httplib::Request &, httplib::Response &response) {
            const size_t total = size_t(2) * 1024 * 1024 * 1024;
            response.set_content_provider(total, "application/octet-stream",
                                          [](size_t offset, size_t length, httplib::DataSink &sink) {
                                              static const std::string block(64 * 1024, 'x');
                                              (void)offset;
                                              return sink.write(block.data(), std::min(length, block.size()));
                                          });
        });
        // Sends without announcing a size and never ends (until the server stops).
        server.Get("/misbehave/endless", [this](const httplib::Request &, httplib::Response &response) {
            response.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink &sink) {
                static const std::string block(64 * 1024, 'z');
                return !stopping && sink.write(block.data(), block.size());
            });
        });
        server.Get("/misbehave/halfway", [](const httplib::Request &, httplib::Response &response) {
            response.set_content_provider(1000000, "application/octet-stream",
                                          [](size_t offset, size_t, httplib::DataSink &sink) {
                                              if (offset >= 1000)
                                                  return false;  // closes the connection
                                              static const std::string block(1000, 'y');
                                              return sink.write(block.data(), block.size());
                                          });
        });
        const auto silent = [this](const httplib::Request &, httplib::Response &response) {
            while (!stopping)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            response.status = 503;
        };
        server.Get("/misbehave/silent", silent);
        server.Post("/misbehave/silent", silent);
    }
};

LocalMakerSite::LocalMakerSite(const QString &folder, const QString &token) : d(std::make_unique<Impl>())
{
    d->folder = folder;
    d->token = token.toStdString();
    QDir().mkpath(folder);
    d->routes();
}

LocalMakerSite::~LocalMakerSite()
{
    stop();
}

bool LocalMakerSite::start(int port)
{
    if (port == 0)
        d->port = d->server.bind_to_any_port("127.0.0.1");
    else
        d->port = d->server.bind_to_port("127.0.0.1", port) ? port : -1;
    if (d->port <= 0)
        return false;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    for (int i = 0; i < 500 && !d->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
}

void LocalMakerSite::stop()
{
    d->stopping = true;
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

int LocalMakerSite::port() const
{
    return d->port;
}

QString LocalMakerSite::siteAddress() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(d->port);
}

QString LocalMakerSite::repositoryAddress() const
{
    return siteAddress() + QStringLiteral("repo/");
}

std::vector<Upload> LocalMakerSite::uploads() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->uploads;
}

int LocalMakerSite::requestCount() const
{
    return d->requests;
}

}  // namespace tivra::makersite
