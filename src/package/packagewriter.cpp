#include "package/packagewriter.h"

#include "package/packagearchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <algorithm>

namespace tivra {

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

PackageWriter::PackageWriter(const QString &outputPath, const QString &password, PackageEncryption encryption)
    : m_outputPath(outputPath), m_password(password.toUtf8()), m_encryption(encryption)
{
    const QFileInfo output(outputPath);
    if (!output.absoluteDir().exists())
        throw PackageError(QStringLiteral("A pasta de \"") + native(outputPath) + QStringLiteral("\" não existe."));
    if (output.isDir())
        throw PackageError(QStringLiteral("\"") + native(outputPath) + QStringLiteral("\" é uma pasta."));
    int code = 0;
    m_zip = zip_open(QFile::encodeName(outputPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!m_zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString reason = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        throw PackageError(QStringLiteral("Não foi possível criar \"") + native(outputPath) + QStringLiteral("\": ") +
                           reason);
    }
}

PackageWriter::~PackageWriter()
{
    if (m_zip)
        zip_discard(m_zip);
}

void PackageWriter::fail(const QString &what)
{
    const QString reason = QString::fromUtf8(zip_strerror(m_zip));
    throw PackageError(what + QStringLiteral(": ") + reason);
}

void PackageWriter::encrypt(qint64 index, const QString &memberName)
{
    if (m_encryption == PackageEncryption::None)
        return;
    const zip_uint16_t method = m_encryption == PackageEncryption::Aes256 ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE;
    if (zip_file_set_encryption(m_zip, zip_uint64_t(index), method, m_password.constData()) != 0)
        fail(QStringLiteral("Não foi possível criptografar \"") + memberName + QLatin1Char('"'));
}

void PackageWriter::addDirectory(const QString &memberName)
{
    QString name = memberName;
    if (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    if (zip_dir_add(m_zip, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8) < 0)
        fail(QStringLiteral("Não foi possível incluir a pasta \"") + memberName + QLatin1Char('"'));
}

void PackageWriter::addFile(const QString &memberName, const QString &sourcePath)
{
    // Checked now, so that an unreadable file stops the run before anything is written.
    QFile probe(sourcePath);
    if (!probe.open(QIODevice::ReadOnly))
        throw PackageError(QStringLiteral("Não foi possível ler \"") + native(sourcePath) + QStringLiteral("\": ") +
                           probe.errorString());
    probe.close();
    zip_source_t *source = zip_source_file(m_zip, QFile::encodeName(sourcePath).constData(), 0, -1);
    if (!source)
        fail(QStringLiteral("Não foi possível ler \"") + native(sourcePath) + QLatin1Char('"'));
    const zip_int64_t index =
        zip_file_add(m_zip, memberName.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        fail(QStringLiteral("Não foi possível incluir \"") + memberName + QLatin1Char('"'));
    }
    encrypt(index, memberName);
}

void PackageWriter::addBytes(const QString &memberName, const QByteArray &bytes)
{
    m_buffers.push_back(bytes);
    const QByteArray &kept = m_buffers.back();
    zip_source_t *source = zip_source_buffer(m_zip, kept.constData(), zip_uint64_t(kept.size()), 0);
    if (!source)
        fail(QStringLiteral("Não foi possível incluir \"") + memberName + QLatin1Char('"'));
    const zip_int64_t index =
        zip_file_add(m_zip, memberName.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        fail(QStringLiteral("Não foi possível incluir \"") + memberName + QLatin1Char('"'));
    }
    encrypt(index, memberName);
}

void PackageWriter::commit()
{
    // libzip writes into a temporary file in the output's folder and renames it over the
    // output only when everything was written; on failure it removes the temporary file.
    if (zip_close(m_zip) != 0)
        fail(QStringLiteral("Não foi possível gravar \"") + native(m_outputPath) + QLatin1Char('"'));
    m_zip = nullptr;
    m_buffers.clear();
}

std::vector<PackedMember> packFolder(const QString &sourceFolder, const QString &outputPath, const QString &password,
                                     PackageEncryption encryption)
{
    const QFileInfo source(sourceFolder);
    if (!source.isDir())
        throw PackageError(QStringLiteral("A pasta \"") + native(sourceFolder) + QStringLiteral("\" não existe."));
    const QDir root(source.absoluteFilePath());
    const QString outputAbsolute = QFileInfo(outputPath).absoluteFilePath();

    std::vector<PackedMember> members;
    QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.absoluteFilePath() == outputAbsolute)
            continue;  // the output itself, when it is written inside the source folder
        PackedMember member;
        member.name = root.relativeFilePath(info.absoluteFilePath());
        member.directory = info.isDir();
        if (member.directory)
            member.name += QLatin1Char('/');
        else if (!info.isFile())
            throw PackageError(QStringLiteral("Não foi possível ler \"") + native(info.filePath()) +
                               QStringLiteral("\": não é um arquivo comum."));
        else
            member.size = info.size();
        members.push_back(member);
    }
    if (members.empty())
        throw PackageError(QStringLiteral("A pasta \"") + native(sourceFolder) + QStringLiteral("\" está vazia."));
    std::sort(members.begin(), members.end(),
              [](const PackedMember &a, const PackedMember &b) { return a.name < b.name; });

    PackageWriter writer(outputPath, password, encryption);
    for (const PackedMember &member : members) {
        if (member.directory)
            writer.addDirectory(member.name);
        else
            writer.addFile(member.name, root.filePath(member.name));
    }
    writer.commit();
    return members;
}

}  // namespace tivra
