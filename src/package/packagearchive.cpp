#include "package/packagearchive.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "package/winzipaes.h"
#include "platform/filenames.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace tivra {

namespace {

constexpr size_t kBufferBytes = 1 << 20;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A libzip error in Portuguese, followed by the library's own text.
QString describeZipError(zip_error_t *error)
{
    QString text;
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_WRONGPASSWD:
        text = QStringLiteral("senha incorreta");
        break;
    case ZIP_ER_NOPASSWD:
        text = QStringLiteral("o pacote exige uma senha");
        break;
    case ZIP_ER_CRC:
        text = QStringLiteral("conteúdo danificado (CRC incorreto)");
        break;
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        text = QStringLiteral("dados comprimidos inválidos");
        break;
    case ZIP_ER_NOZIP:
        text = QStringLiteral("o arquivo não é um pacote ZIP");
        break;
    case ZIP_ER_INCONS:
        text = QStringLiteral("o pacote está danificado");
        break;
    case ZIP_ER_EOF:
        text = QStringLiteral("o pacote está incompleto");
        break;
    case ZIP_ER_NOENT:
        text = QStringLiteral("arquivo não encontrado");
        break;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        text = QStringLiteral("falha de leitura");
        break;
    case ZIP_ER_COMPNOTSUPP:
        text = QStringLiteral("método de compressão não suportado");
        break;
    case ZIP_ER_ENCRNOTSUPP:
        text = QStringLiteral("método de criptografia não suportado");
        break;
    default:
        return QString::fromUtf8(zip_error_strerror(error));
    }
    return text + QStringLiteral(" (") + QString::fromUtf8(zip_error_strerror(error)) + QLatin1Char(')');
}

QString describeZipError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = describeZipError(&error);
    zip_error_fini(&error);
    return text;
}

QString readError(const QString &member, const QString &reason)
{
    return QStringLiteral("Não foi possível ler \"") + member + QStringLiteral("\" do pacote: ") + reason;
}

QString writeError(const QString &target, const QString &reason)
{
    return QStringLiteral("Não foi possível gravar o arquivo \"") + nativePath(target) + QStringLiteral("\": ") +
           reason;
}

// Wildcard match of the whole text: "*" any run of characters, "?" one character.
bool wildcardMatch(QStringView text, QStringView mask)
{
    qsizetype t = 0, m = 0, starMask = -1, starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == text[t])) {
            ++t;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starMask = m++;
            starText = t;
        } else if (starMask >= 0) {
            m = starMask + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

QString slashes(QString name)
{
    return name.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// Whether the name only names the folder it is in ("." components and separators).
bool isCurrentFolder(const QString &name)
{
    const QStringList parts = slashes(name).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::all_of(parts.begin(), parts.end(), [](const QString &part) { return part == QLatin1String("."); });
}

int aesKeyBytes(zip_uint16_t method)
{
    switch (method) {
    case ZIP_EM_AES_128:
        return 16;
    case ZIP_EM_AES_192:
        return 24;
    case ZIP_EM_AES_256:
        return 32;
    default:
        return 0;
    }
}

struct FileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, FileCloser>;

// Reads exactly length bytes; false at a premature end.
bool readExact(zip_file_t *file, void *buffer, zip_uint64_t length, const QString &member)
{
    auto *at = static_cast<unsigned char *>(buffer);
    while (length > 0) {
        const zip_int64_t n = zip_fread(file, at, length);
        if (n < 0)
            throw PackageError(readError(member, describeZipError(zip_file_get_error(file))));
        if (n == 0)
            return false;
        at += n;
        length -= zip_uint64_t(n);
    }
    return true;
}

// A member's file on its way to disk: written under a temporary name beside its target and given
// the target's name, replacing any file there, only by commit(). Without commit() the temporary
// file is removed. (Not QSaveFile: it syncs every file to disk, which tripled the time to unpack
// a package of a few thousand files; the working folder is scratch space.)
class PartFile {
public:
    explicit PartFile(const QString &target) : m_target(target)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const quint32 tag = QRandomGenerator::global()->generate() & 0xFFFFFF;
            m_file.setFileName(target + QStringLiteral(".~") + QString::number(tag, 16));
            if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
                return;
            if (!m_file.exists())
                break;  // not a name clash: the folder cannot be written
        }
        throw PackageError(writeError(target, m_file.errorString()));
    }

    ~PartFile()
    {
        if (!m_committed) {
            m_file.close();
            QFile::remove(m_file.fileName());
        }
    }

    QFile &file() { return m_file; }

    void commit(const QDateTime &modified)
    {
        if (modified.isValid())
            m_file.setFileTime(modified, QFileDevice::FileModificationTime);
        m_file.close();
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(m_file.fileName().toStdU16String()),
                                std::filesystem::path(m_target.toStdU16String()), error);
        if (error)
            throw PackageError(writeError(m_target, QString::fromLocal8Bit(error.message())));
        m_committed = true;
    }

private:
    QString m_target;
    QFile m_file;
    bool m_committed = false;
};

// Where a member's data goes: its temporary file, with the write limit of the test seam.
class Sink {
public:
    Sink(QFile &file, const QString &target, qint64 limit, qint64 &written)
        : m_file(file), m_target(target), m_limit(limit), m_written(written)
    {
    }

    void write(const unsigned char *data, qint64 length)
    {
        if (m_limit >= 0 && m_written + length > m_limit) {
            const qint64 room = std::max<qint64>(0, m_limit - m_written);
            m_file.write(reinterpret_cast<const char *>(data), room);
            m_written += room;
            throw PackageError(writeError(m_target, qt_error_string(ENOSPC)));
        }
        if (m_file.write(reinterpret_cast<const char *>(data), length) != length)
            throw PackageError(writeError(m_target, m_file.errorString()));
        m_written += length;
        m_size += length;
    }

    qint64 size() const { return m_size; }

private:
    QFile &m_file;
    const QString &m_target;
    qint64 m_limit;
    qint64 &m_written;
    qint64 m_size = 0;
};

}  // namespace

PackageError::PackageError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}

struct PackageReader::Member {
    zip_uint64_t index = 0;
    QString name;  // as stored
    QString path;  // relative path under the destination
    bool directory = false;
    zip_stat_t stat{};
};

PackageReader::PackageReader(const QString &archivePath, const QString &password)
    : m_archivePath(archivePath), m_password(password.toUtf8())
{
    if (!QFileInfo(archivePath).isFile())
        throw PackageError(QStringLiteral("O arquivo \"") + nativePath(archivePath) +
                           QStringLiteral("\" não foi encontrado."));
    int code = 0;
    m_zip = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!m_zip)
        throw PackageError(QStringLiteral("Não foi possível abrir o pacote \"") + nativePath(archivePath) +
                           QStringLiteral("\": ") + describeZipError(code));
    zip_set_default_password(m_zip, m_password.constData());
}

PackageReader::~PackageReader()
{
    if (m_zip)
        zip_discard(m_zip);
}

QStringList PackageReader::memberNames() const
{
    QStringList names;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char *name = zip_get_name(m_zip, zip_uint64_t(i), 0))
            names.append(QString::fromUtf8(name));
    }
    return names;
}

QString safeMemberPath(const QString &memberName)
{
    const QString name = slashes(memberName);
    if (name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char(':')))
        return {};
    QStringList kept;
    for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            return {};
        if (part != QLatin1String("."))
            kept.append(part);
    }
    return kept.join(QLatin1Char('/'));
}

int PackageReader::extract(const QString &mask, const QString &destinationFolder)
{
    const bool everything = mask == QLatin1String("*.*") || mask == QLatin1String("*");
    const QString wantedMask = slashes(mask);

    // Select the members and check every name before anything is written.
    std::vector<Member> selected;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        Member member;
        member.index = zip_uint64_t(i);
        zip_stat_init(&member.stat);
        if (zip_stat_index(m_zip, member.index, 0, &member.stat) != 0 || !(member.stat.valid & ZIP_STAT_NAME))
            throw PackageError(QStringLiteral("O pacote \"") + nativePath(m_archivePath) +
                               QStringLiteral("\" está danificado: ") + describeZipError(zip_get_error(m_zip)));
        member.name = QString::fromUtf8(member.stat.name);
        if (!everything && !wildcardMatch(slashes(member.name), wantedMask))
            continue;
        member.path = safeMemberPath(member.name);
        member.directory = member.name.endsWith(QLatin1Char('/')) || member.name.endsWith(QLatin1Char('\\'));
        if (member.directory && member.path.isEmpty() && isCurrentFolder(member.name))
            continue;  // "./": the destination itself
        if (member.path.isEmpty())
            throw PackageError(
                QStringLiteral("O membro \"") + member.name +
                QStringLiteral("\" do pacote aponta para fora da pasta de extração; nada foi extraído."));
        selected.push_back(std::move(member));
    }
    if (selected.empty())
        return 0;

    const QString root = QDir::cleanPath(destinationFolder);
    QSet<QString> made;
    auto makeFolder = [&made](const QString &folder) {
        if (made.contains(folder))
            return;
        if (!QDir().mkpath(folder))
            throw PackageError(QStringLiteral("Não foi possível criar a pasta \"") + nativePath(folder) +
                               QStringLiteral("\"."));
        made.insert(folder);
    };
    makeFolder(root);

    if (m_input.empty()) {
        m_input.resize(kBufferBytes);
        m_output.resize(kBufferBytes);
    }
    qint64 written = 0;
    int files = 0;
    m_filesDone = 0;
    m_filesTotal = int(std::count_if(selected.begin(), selected.end(), [](const Member &m) { return !m.directory; }));
    if (m_progress)
        m_progress(0, m_filesTotal);
    for (const Member &member : selected) {
        // A member named like a Windows device ("Com1.cds") is stored under its changed name.
        const QString target = root + QLatin1Char('/') + platform::storedName(member.path);
        if (member.directory) {
            makeFolder(target);
            continue;
        }
        makeFolder(QFileInfo(target).path());
        extractMember(member, target, written);
        ++files;
        m_filesDone = files;
        if (m_progress)
            m_progress(m_filesDone, m_filesTotal);
    }
    return files;
}

void PackageReader::extractMember(const Member &member, const QString &target, qint64 &written)
{
    PartFile part(target);
    Sink sink(part.file(), target, m_writeLimit, written);
    const zip_stat_t &st = member.stat;
    const int keyBytes = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? aesKeyBytes(st.encryption_method) : 0;

    if (keyBytes == 0) {
        // Plain and traditionally encrypted members: libzip decrypts, inflates and checks the CRC.
        // An encryption it cannot decode is refused here: asked to open such a member, libzip
        // returns the error but keeps the member's source chain (and an open reference to the
        // archive) for ever.
        const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        if (encrypted && !zip_encryption_method_supported(st.encryption_method, 0))
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_ENCRNOTSUPP)));
        ZipFile in(zip_fopen_index(m_zip, member.index, 0));
        if (!in)
            throw PackageError(readError(member.name, describeZipError(zip_get_error(m_zip))));
        for (;;) {
            const zip_int64_t n = zip_fread(in.get(), m_input.data(), m_input.size());
            if (n < 0)
                throw PackageError(readError(member.name, describeZipError(zip_file_get_error(in.get()))));
            if (n == 0)
                break;
            sink.write(m_input.data(), n);
            if (m_progress)
                m_progress(m_filesDone, m_filesTotal);
        }
    } else {
        // WinZip AES: the raw data is decrypted, authenticated and inflated here.
        const bool deflated = st.comp_method == ZIP_CM_DEFLATE;
        if (!deflated && st.comp_method != ZIP_CM_STORE)
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_COMPNOTSUPP)));
        const int saltBytes = package_detail::WinZipAesDecryptor::saltLength(keyBytes);
        const zip_uint64_t overhead = zip_uint64_t(saltBytes) + package_detail::WinZipAesDecryptor::kVerifierLength +
                                      package_detail::WinZipAesDecryptor::kAuthCodeLength;
        if (!(st.valid & ZIP_STAT_COMP_SIZE) || st.comp_size < overhead)
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_INCONS)));

        ZipFile in(zip_fopen_index(m_zip, member.index, ZIP_FL_ENCRYPTED));
        if (!in)
            throw PackageError(readError(member.name, describeZipError(zip_get_error(m_zip))));
        unsigned char header[16 + package_detail::WinZipAesDecryptor::kVerifierLength];
        if (!readExact(in.get(), header, zip_uint64_t(saltBytes) + 2, member.name))
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_EOF)));
        if (!m_aes)
            m_aes = std::make_unique<package_detail::WinZipAesDecryptor>();
        package_detail::WinZipAesDecryptor &aes = *m_aes;
        if (!aes.start(m_password, keyBytes, header, header + saltBytes))
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_WRONGPASSWD)));

        z_stream z{};
        struct InflateEnd {
            z_stream *z = nullptr;
            ~InflateEnd()
            {
                if (z)
                    inflateEnd(z);
            }
        } inflateEnd_;
        if (deflated) {
            if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
                throw PackageError(readError(member.name, describeZipError(ZIP_ER_MEMORY)));
            inflateEnd_.z = &z;
        }

        uLong crc = crc32(0, nullptr, 0);
        bool streamEnded = !deflated;
        bool dataBroken = false;  // the inflater refused the data; reported after authentication
        zip_uint64_t remaining = st.comp_size - overhead;
        while (remaining > 0) {
            const zip_uint64_t chunk = std::min<zip_uint64_t>(remaining, m_input.size());
            if (!readExact(in.get(), m_input.data(), chunk, member.name))
                throw PackageError(readError(member.name, describeZipError(ZIP_ER_EOF)));
            remaining -= chunk;
            aes.decrypt(m_input.data(), size_t(chunk));
            if (m_progress)
                m_progress(m_filesDone, m_filesTotal);
            if (dataBroken)
                continue;
            if (!deflated) {
                crc = crc32(crc, m_input.data(), uInt(chunk));
                sink.write(m_input.data(), qint64(chunk));
                continue;
            }
            z.next_in = m_input.data();
            z.avail_in = uInt(chunk);
            while (!streamEnded) {
                z.next_out = m_output.data();
                z.avail_out = uInt(m_output.size());
                const int rc = inflate(&z, Z_NO_FLUSH);
                const size_t produced = m_output.size() - z.avail_out;
                if (produced > 0) {
                    crc = crc32(crc, m_output.data(), uInt(produced));
                    sink.write(m_output.data(), qint64(produced));
                    if (m_progress)
                        m_progress(m_filesDone, m_filesTotal);
                }
                if (rc == Z_STREAM_END) {
                    streamEnded = true;
                } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                    dataBroken = true;
                    break;
                } else if (z.avail_in == 0 && z.avail_out > 0) {
                    break;  // everything consumed and flushed: needs the next chunk
                }
            }
        }
        unsigned char authCode[package_detail::WinZipAesDecryptor::kAuthCodeLength];
        if (!readExact(in.get(), authCode, sizeof authCode, member.name))
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_EOF)));
        if (!aes.authenticate(authCode))
            throw PackageError(
                readError(member.name,
                          QStringLiteral("falha na verificação de autenticidade (conteúdo danificado ou adulterado)")));
        if (dataBroken || !streamEnded)
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_COMPRESSED_DATA)));
        // AE-2 entries carry no CRC (stored as 0); AE-1 entries do.
        if ((st.valid & ZIP_STAT_CRC) && st.crc != 0 && st.crc != crc)
            throw PackageError(readError(member.name, describeZipError(ZIP_ER_CRC)));
    }

    if ((st.valid & ZIP_STAT_SIZE) && zip_uint64_t(sink.size()) != st.size)
        throw PackageError(readError(member.name, describeZipError(ZIP_ER_INCONS)));
    // The binary copy compares the dates of files without a version resource, so the member keeps
    // its date.
    part.commit((st.valid & ZIP_STAT_MTIME) ? QDateTime::fromSecsSinceEpoch(qint64(st.mtime)) : QDateTime());
}

QString packageFilePath(const InstallerSession &session)
{
    return joinPath(session.installerDirectory, kPackageFileName);
}

void extractPackage(const InstallerSession &session, const QString &mask, PackageReader::Progress progress)
{
    PackageReader reader(packageFilePath(session), session.build.packagePassword);
    reader.setProgress(std::move(progress));
    reader.extract(mask, session.workingFolder);
}

bool removeWorkingFolder(const InstallerSession &session)
{
    if (session.workingFolder.isEmpty())
        return false;
    // The working folder holds the decrypted package: it is the installer's own temporary
    // folder and is deleted for good, never kept in a trash that nothing empties.
    QDir folder(session.workingFolder);
    if (!folder.exists())
        return true;
    return folder.removeRecursively();
}

}  // namespace tivra
