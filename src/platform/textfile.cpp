#include "platform/textfile.h"

#include <QStringDecoder>
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

namespace tivra::platform {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control with the same number, as the
// Windows conversion functions do, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char encodeCodePoint(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

QByteArray toWindows1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        char32_t cp = c.unicode();
        // A surrogate pair is one character and becomes one '?'.
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            cp = QChar::surrogateToUcs4(c, text.at(++i));
        out.append(encodeCodePoint(cp));
    }
    return out;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar *dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        dst[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return out;
}

bool writeTextItems(const QString &path, const QStringList &items, QString *error)
{
    QByteArray bytes;
    for (const QString &item : items) {
        bytes += toWindows1252(item);
        bytes += "\r\n";
    }
    // The text goes to a temporary file beside the target that replaces it only when complete,
    // so a failed write never leaves a truncated file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString writeNewTextItems(const QString &path, const QStringList &items, QString *error,
                          const QStringList &companionExtensions)
{
    QByteArray bytes;
    for (const QString &item : items) {
        bytes += toWindows1252(item);
        bytes += "\r\n";
    }
    const QFileInfo info(path);
    const QString folder = info.path();
    const QString base = info.completeBaseName();
    const QString extension = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    // Far more than any folder of records holds for one minute; beyond it the folder is not sane.
    constexpr int kMaxAttempts = 1000;
    QString lastError;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const QString stem = attempt == 1 ? base : base + QLatin1Char('_') + QString::number(attempt);
        const QString candidate = attempt == 1 ? path : QDir(folder).filePath(stem + extension);
        const bool companionTaken = std::any_of(companionExtensions.cbegin(), companionExtensions.cend(),
                                                [&](const QString &companion) {
                                                    return QFileInfo::exists(QDir(folder).filePath(stem + companion));
                                                });
        if (companionTaken || QFileInfo::exists(candidate))
            continue;
        QFile file(candidate);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            // Taken in the meantime by another process: the next name. Any other failure (no
            // folder, no permission) would repeat for every name.
            if (QFileInfo::exists(candidate))
                continue;
            lastError = file.errorString();
            break;
        }
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            lastError = file.errorString();
            file.close();
            file.remove();
            break;
        }
        file.close();
        return candidate;
    }
    if (error)
        *error = lastError.isEmpty() ? QStringLiteral("nenhum nome livre para ") + QDir::toNativeSeparators(path) : lastError;
    return {};
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString readText(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    const QByteArray bytes = file.readAll();
    const bool readOk = file.error() == QFileDevice::NoError;
    if (ok)
        *ok = readOk;
    return readOk ? fromWindows1252(bytes) : QString();
}

QStringList readTextLines(const QString &path, bool *ok)
{
    return splitLines(readText(path, ok));
}

QString decodeWindowsText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.mid(2));
    }
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (!ascii) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return fromWindows1252(bytes);
}

}  // namespace tivra::platform
