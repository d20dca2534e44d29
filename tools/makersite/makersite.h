// A local stand-in for the maker's web site and package repository, on 127.0.0.1.
//
//   /                          the maker's web site (reachability test)
//   /InstallerLogs/index.php   and /InstallerLogs/DatabaseModels/index.php: every POST is
//                              recorded with its exact bytes (kept in memory and written to the
//                              upload folder as NNN-<endpoint>.bin beside NNN-<endpoint>.txt,
//                              which holds the request line and headers)
//   /sac/util/list_users.php   the file users.txt of the site folder, for the right ?access= token
//   /repo/...                  the files of the site folder's repo/ subfolder
//
// Misbehaving answers, for tests of the client's bounds:
//   /misbehave/status500   answers 500 with a body
//   /misbehave/loop        redirects to itself
//   /misbehave/huge        announces and streams 2 GiB
//   /misbehave/halfway     announces 1 000 000 bytes and closes after 1 000
//   /misbehave/endless     streams without announcing a size, until the site stops
//   /misbehave/silent      accepts and never answers (until the site stops)
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace tivra::makersite {

struct Upload {
    QString path;        // "/InstallerLogs/index.php"
    QByteArray headers;  // request headers, one "Name: value" per line
    QByteArray contentType;
    QByteArray body;     // exactly as received
};

class LocalMakerSite {
public:
    // folder: the site folder (repo/, users.txt; uploads/ is created there). token: the
    // user-list access token.
    LocalMakerSite(const QString &folder, const QString &token);
    ~LocalMakerSite();
    LocalMakerSite(const LocalMakerSite &) = delete;
    LocalMakerSite &operator=(const LocalMakerSite &) = delete;

    // Starts listening on 127.0.0.1; port 0 takes a free port. False when it cannot listen.
    bool start(int port = 0);
    void stop();
    int port() const;

    // "http://127.0.0.1:PORT/" and "http://127.0.0.1:PORT/repo/".
    QString siteAddress() const;
    QString repositoryAddress() const;

    // The uploads received so far, in order.
    std::vector<Upload> uploads() const;
    // Number of requests of any kind received so far.
    int requestCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tivra::makersite
