#include "remote/http.h"

#include <QUrl>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace tivra::remote {

namespace {
void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};
}  // namespace

bool siteReachable(const QString &url, int timeoutMs)
{
    if (url.isEmpty())
        return false;
    // Names under the reserved "invalid" domain never exist: no lookup is made for them (the
    // development builds point there).
    const QString host = QUrl(url).host().toLower();
    if (host == QStringLiteral("invalid") || host.endsWith(QStringLiteral(".invalid")))
        return false;
    initCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return false;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    // Connect only: a forced connection check, nothing is requested.
    curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, long(timeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, long(timeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    return curl_easy_perform(curl.get()) == CURLE_OK;
}

}  // namespace tivra::remote
