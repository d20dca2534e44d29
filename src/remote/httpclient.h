// The installer's HTTP client (libcurl): text fetch, download to a file, and the two form posts
// of the maker's log collection endpoint. Every request is bounded in time; while it runs the
// caller's pump is called at short intervals, so a window stays responsive on the one thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tivra::remote {

struct HttpOptions {
    int connectTimeoutMs = 15000;  // to establish the connection
    int totalTimeoutMs = 120000;   // the whole exchange
    qint64 maxBodyBytes = 64 * 1024 * 1024;  // larger answers are cut off as a failure
    int stallTimeoutS = 0;         // > 0: a transfer that receives nothing for this long fails
    std::function<void()> pump;    // called every few tens of milliseconds while waiting
};

struct HttpResult {
    bool transferred = false;  // an answer was received completely (whatever its status)
    long status = 0;           // HTTP status of the answer, 0 without one
    QByteArray body;           // the answer's body (empty for downloads to a file)
    QString error;             // why no complete answer came
    bool ok() const { return transferred && status >= 200 && status < 300; }
};

// Whether the host of the address is reserved and never exists ("invalid" and names under it):
// no lookup is made for those.
bool reservedHost(const QString &url);

// GET of a text without any cache and without an agent name. The body is returned whatever the
// status; an address that cannot be reached gives a result without transfer.
HttpResult httpGet(const QString &url, const HttpOptions &options = {});
// The body of httpGet() as text (the system's single-byte code page, as the maker's files are),
// empty when the server could not be reached.
QString fetchText(const QString &url, const HttpOptions &options = {});

// Progress of a download: bytes received so far and expected in all (0 when unknown). Returning
// false cancels the download.
using DownloadProgress = std::function<bool(qint64 received, qint64 total)>;

// Downloads the address into the file, which is written only when the answer is a complete 2xx
// one: the bytes go to a temporary file beside it that replaces it at the end. A failed, cut or
// cancelled download leaves the file as it was. The file is bounded by options.maxBodyBytes: an
// answer that announces more is refused at once, one that sends more is cut off there. Returns
// the result (error set on failure).
HttpResult downloadToFile(const QString &url, const QString &path, const DownloadProgress &progress = {},
                          const HttpOptions &options = {});

// POST of a prepared body with extra header lines ("Name: value").
HttpResult httpPost(const QString &url, const QByteArray &body, const QList<QByteArray> &headers,
                    const HttpOptions &options = {});

// The boundary of the form posts made by formFilesBody().
inline constexpr char kFormBoundary[] = "---------------------------123456789";

// The exact body of PostFormFiles for (field, file path) pairs: per pair the boundary line, the
// Content-Disposition line with the field name and the path as given, "Content-Type: text/html",
// a blank line, the file's bytes and CR LF; then the closing boundary line and one zero byte.
// False when a file cannot be read.
bool formFilesBody(const QStringList &names, const QStringList &paths, QByteArray *body);

// Posts the files as an HTTP form with the body above and the header
// "Content-Type: multipart/form-data; boundary=" + kFormBoundary. Nothing is thrown: the result
// says whether the server took it (a file that cannot be read is not sent).
HttpResult PostFormFiles(const QString &url, const QStringList &names, const QStringList &paths,
                         const HttpOptions &options = {});

// Posts one file as a multipart form built by libcurl: the field name, the path as the part's
// file name, the file's bytes, the part's content type "multipart/form-data;". The answer's body
// is not read; the result says whether the server took the file.
HttpResult PostFileMultipart(const QString &url, const QString &fieldName, const QString &path,
                             const HttpOptions &options = {});

// Why an upload was not delivered: empty for a 2xx answer, else the transfer's error or the
// answer's status.
QString deliveryFailure(const HttpResult &result);

// Joins a base address (with or without its trailing "/") and a path below it.
QString joinUrl(const QString &base, const QString &path);

}  // namespace tivra::remote
