#include "remote/httpclient.h"

#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace tivra::remote {

namespace {

constexpr int kPumpIntervalMs = 40;
constexpr long kMaxRedirects = 5;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

// Where the bytes of an answer go, and how far they may grow.
struct Sink {
    QByteArray *memory = nullptr;
    QFileDevice *file = nullptr;
    qint64 limit = 0;
    qint64 received = 0;
    bool overflow = false;
    bool writeFailed = false;
};

size_t writeBody(char *data, size_t size, size_t count, void *user)
{
    auto *sink = static_cast<Sink *>(user);
    const size_t bytes = size * count;
    if (sink->limit > 0 && sink->received + qint64(bytes) > sink->limit) {
        sink->overflow = true;
        return 0;  // makes the transfer fail
    }
    sink->received += qint64(bytes);
    if (sink->file) {
        if (sink->file->write(data, qint64(bytes)) != qint64(bytes)) {
            sink->writeFailed = true;
            return 0;
        }
    } else if (sink->memory) {
        sink->memory->append(data, qsizetype(bytes));
    }
    return bytes;
}

struct ProgressState {
    const DownloadProgress *callback = nullptr;
    bool cancelled = false;
};

int transferProgress(void *user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t)
{
    auto *state = static_cast<ProgressState *>(user);
    if (state->callback && *state->callback && !(*state->callback)(qint64(received), qint64(total))) {
        state->cancelled = true;
        return 1;  // aborts the transfer
    }
    return 0;
}

Easy newHandle(const QByteArray &url, const HttpOptions &options)
{
    initCurlOnce();
    Easy curl(curl_easy_init());
    if (!curl)
        return curl;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, long(options.totalTimeoutMs));
    if (options.stallTimeoutS > 0) {
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, long(options.stallTimeoutS));
    }
    // Certificates of https addresses are checked (libcurl's default, stated here on purpose).
    curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYHOST, 2L);
    // The answer is never taken from a cache on the way.
    return curl;
}

// Runs one transfer to its end, calling the pump while it waits.
CURLcode perform(CURL *curl, const HttpOptions &options)
{
    if (!options.pump)
        return curl_easy_perform(curl);
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi)
        return curl_easy_perform(curl);
    curl_multi_add_handle(multi.get(), curl);
    int running = 1;
    CURLcode result = CURLE_OK;
    while (running > 0) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running > 0)
            curl_multi_poll(multi.get(), nullptr, 0, kPumpIntervalMs, nullptr);
        options.pump();
    }
    int pending = 0;
    while (CURLMsg *message = curl_multi_info_read(multi.get(), &pending)) {
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

HttpResult run(CURL *curl, Sink &sink, const HttpOptions &options, const ProgressState *progress = nullptr)
{
    HttpResult result;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    const CURLcode code = perform(curl, options);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    if (code == CURLE_OK) {
        result.transferred = true;
        return result;
    }
    if (sink.overflow || code == CURLE_FILESIZE_EXCEEDED)
        result.error = QStringLiteral("a resposta do servidor excede o tamanho esperado");
    else if (sink.writeFailed && sink.file)
        result.error = QStringLiteral("não foi possível gravar o arquivo: ") + sink.file->errorString();
    else if (progress && progress->cancelled)
        result.error = QStringLiteral("cancelado pelo usuário");
    else
        result.error = QString::fromUtf8(curl_easy_strerror(code));
    return result;
}

HeaderList headerList(const QList<QByteArray> &headers)
{
    curl_slist *list = nullptr;
    for (const QByteArray &header : headers)
        list = curl_slist_append(list, header.constData());
    return HeaderList(list);
}

HttpResult unreachable(const QString &why)
{
    HttpResult result;
    result.error = why;
    return result;
}

}  // namespace

bool reservedHost(const QString &url)
{
    const QString host = QUrl(url).host().toLower();
    return host == QStringLiteral("invalid") || host.endsWith(QStringLiteral(".invalid"));
}

QString joinUrl(const QString &base, const QString &path)
{
    if (base.endsWith(QLatin1Char('/')))
        return base + path;
    return base + QLatin1Char('/') + path;
}

HttpResult httpGet(const QString &url, const HttpOptions &options)
{
    if (url.isEmpty() || reservedHost(url))
        return unreachable(QStringLiteral("endereço inexistente: ") + url);
    const QByteArray address = url.toUtf8();
    Easy curl = newHandle(address, options);
    if (!curl)
        return unreachable(QStringLiteral("não foi possível iniciar a conexão"));
    const HeaderList headers = headerList({"Cache-Control: no-cache", "Pragma: no-cache"});
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    HttpResult result;
    Sink sink;
    sink.memory = &result.body;
    sink.limit = options.maxBodyBytes;
    const HttpResult outcome = run(curl.get(), sink, options);
    result.transferred = outcome.transferred;
    result.status = outcome.status;
    result.error = outcome.error;
    if (!result.transferred)
        result.body.clear();
    return result;
}

QString fetchText(const QString &url, const HttpOptions &options)
{
    const HttpResult result = httpGet(url, options);
    if (!result.transferred)
        return {};
    return platform::decodeWindowsText(result.body);
}

HttpResult downloadToFile(const QString &url, const QString &path, const DownloadProgress &progress,
                          const HttpOptions &options)
{
    if (url.isEmpty() || reservedHost(url))
        return unreachable(QStringLiteral("endereço inexistente: ") + url);
    const QByteArray address = url.toUtf8();
    Easy curl = newHandle(address, options);
    if (!curl)
        return unreachable(QStringLiteral("não foi possível iniciar a conexão"));
    const HeaderList headers = headerList({"Cache-Control: no-cache", "Pragma: no-cache"});
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    // Answers of 400 and above are failures here: their bodies are no files.
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    ProgressState state;
    state.callback = &progress;
    curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, transferProgress);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &state);

    // The bytes go to a temporary file beside the target, which replaces it only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return unreachable(QStringLiteral("não foi possível criar o arquivo \"") + QDir::toNativeSeparators(path)
                           + QStringLiteral("\": ") + file.errorString());
    // A download is cut off past the size its caller expects: a broken or hostile server never
    // fills the disk. An answer that announces more is refused before its first byte.
    if (options.maxBodyBytes > 0)
        curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(options.maxBodyBytes));
    Sink sink;
    sink.file = &file;
    sink.limit = options.maxBodyBytes;
    HttpResult result = run(curl.get(), sink, options, &state);
    if (result.transferred && (result.status < 200 || result.status >= 300)) {
        result.transferred = false;
        result.error = QStringLiteral("o servidor respondeu ") + QString::number(result.status);
    }
    if (!result.transferred) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.transferred = false;
        result.error = QStringLiteral("não foi possível gravar o arquivo \"") + QDir::toNativeSeparators(path)
                       + QStringLiteral("\": ") + file.errorString();
    }
    return result;
}

HttpResult httpPost(const QString &url, const QByteArray &body, const QList<QByteArray> &headers,
                    const HttpOptions &options)
{
    if (url.isEmpty() || reservedHost(url))
        return unreachable(QStringLiteral("endereço inexistente: ") + url);
    const QByteArray address = url.toUtf8();
    Easy curl = newHandle(address, options);
    if (!curl)
        return unreachable(QStringLiteral("não foi possível iniciar a conexão"));
    QList<QByteArray> all = headers;
    all.append("Expect:");  // the body goes at once, without waiting for a "100 Continue"
    const HeaderList list = headerList(all);
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    HttpResult result;
    Sink sink;
    sink.memory = &result.body;
    sink.limit = options.maxBodyBytes;
    const HttpResult outcome = run(curl.get(), sink, options);
    result.transferred = outcome.transferred;
    result.status = outcome.status;
    result.error = outcome.error;
    return result;
}

bool formFilesBody(const QStringList &names, const QStringList &paths, QByteArray *body)
{
    if (names.size() != paths.size())
        return false;
    const QByteArray boundary(kFormBoundary);
    QByteArray out;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QFile file(paths.at(i));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        out += "--" + boundary + "\r\n";
        out += "Content-Disposition: form-data; name=\"" + platform::toWindows1252(names.at(i)) + "\"; filename=\""
               + platform::toWindows1252(paths.at(i)) + "\"\r\n";
        out += "Content-Type: text/html\r\n\r\n";
        out += bytes;
        out += "\r\n";
    }
    out += "--" + boundary + "--\r\n";
    out.append('\0');
    *body = out;
    return true;
}

HttpResult PostFormFiles(const QString &url, const QStringList &names, const QStringList &paths, const HttpOptions &options)
{
    QByteArray body;
    if (!formFilesBody(names, paths, &body))
        return unreachable(QStringLiteral("o arquivo a enviar não pôde ser lido"));
    return httpPost(url, body, {QByteArray("Content-Type: multipart/form-data; boundary=") + kFormBoundary}, options);
}

HttpResult PostFileMultipart(const QString &url, const QString &fieldName, const QString &path, const HttpOptions &options)
{
    if (url.isEmpty() || reservedHost(url))
        return unreachable(QStringLiteral("endereço inexistente: ") + url);
    if (!QFileInfo(path).isFile())
        return unreachable(QStringLiteral("o arquivo a enviar não existe"));
    const QByteArray address = url.toUtf8();
    Easy curl = newHandle(address, options);
    if (!curl)
        return unreachable(QStringLiteral("não foi possível iniciar a conexão"));
    std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(curl.get()));
    curl_mimepart *part = curl_mime_addpart(mime.get());
    const QByteArray field = fieldName.toUtf8();
    const QByteArray file = QFile::encodeName(path);
    const QByteArray shownName = platform::toWindows1252(path);
    curl_mime_name(part, field.constData());
    if (curl_mime_filedata(part, file.constData()) != CURLE_OK)
        return unreachable(QStringLiteral("o arquivo a enviar não pôde ser lido"));
    curl_mime_filename(part, shownName.constData());
    curl_mime_type(part, "multipart/form-data;");
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, mime.get());
    const HeaderList list = headerList({"Expect:"});
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, list.get());
    QByteArray answer;
    Sink sink;
    sink.memory = &answer;
    sink.limit = options.maxBodyBytes;
    return run(curl.get(), sink, options);  // the answer's body is not looked at
}

QString deliveryFailure(const HttpResult &result)
{
    if (result.ok())
        return {};
    if (!result.transferred)
        return result.error.isEmpty() ? QStringLiteral("sem resposta do servidor") : result.error;
    return QStringLiteral("o servidor respondeu com o status ") + QString::number(result.status);
}

}  // namespace tivra::remote
