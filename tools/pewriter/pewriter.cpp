#include "pewriter/pewriter.h"

#include <QSaveFile>

#include <vector>

namespace tivra::pewriter {

namespace {

constexpr quint32 kFileAlignment = 0x200;
constexpr quint32 kSectionAlignment = 0x1000;
constexpr quint32 kPeOffset = 0x80;
constexpr quint32 kTextRva = 0x1000;
constexpr quint32 kResourceRva = 0x2000;
constexpr quint32 kRtVersion = 16;
constexpr quint32 kRtManifest = 24;

quint32 alignUp(quint32 value, quint32 alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

void put16(QByteArray &b, qsizetype at, quint16 v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void put32(QByteArray &b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void put64(QByteArray &b, qsizetype at, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void append16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void append32(QByteArray &b, quint32 v)
{
    append16(b, quint16(v & 0xFFFF));
    append16(b, quint16(v >> 16));
}

void appendUtf16z(QByteArray &b, const QString &text)
{
    for (const QChar c : text)
        append16(b, c.unicode());
    append16(b, 0);
}

void pad4(QByteArray &b)
{
    while (b.size() % 4)
        b.append('\0');
}

// One node of a version resource: wLength, wValueLength, wType, key, padding, value, children.
QByteArray versionNode(const QString &key, const QByteArray &value, quint16 valueLength, quint16 type,
                       const std::vector<QByteArray> &children = {})
{
    QByteArray b;
    append16(b, 0);
    append16(b, valueLength);
    append16(b, type);
    appendUtf16z(b, key);
    pad4(b);
    b += value;
    for (const QByteArray &child : children) {
        pad4(b);
        b += child;
    }
    put16(b, 0, quint16(b.size()));
    return b;
}

QByteArray stringNode(const QString &key, const QString &text)
{
    QByteArray value;
    appendUtf16z(value, text);
    return versionNode(key, value, quint16(text.size() + 1), 1);
}

QString dotted(const PeVersion &v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

QByteArray versionInfo(const PeImageOptions &options)
{
    const PeVersion &f = options.fileVersion;
    const PeVersion &p = options.productVersion;
    QByteArray fixed;
    append32(fixed, 0xFEEF04BD);                      // dwSignature
    append32(fixed, 0x00010000);                      // dwStrucVersion
    append32(fixed, (quint32(f[0]) << 16) | f[1]);    // dwFileVersionMS
    append32(fixed, (quint32(f[2]) << 16) | f[3]);    // dwFileVersionLS
    append32(fixed, (quint32(p[0]) << 16) | p[1]);    // dwProductVersionMS
    append32(fixed, (quint32(p[2]) << 16) | p[3]);    // dwProductVersionLS
    append32(fixed, 0x3F);                            // dwFileFlagsMask
    append32(fixed, 0);                               // dwFileFlags
    append32(fixed, 0x00040004);                      // dwFileOS: VOS_NT_WINDOWS32
    append32(fixed, options.dll ? 2 : 1);                // dwFileType: VFT_DLL or VFT_APP
    append32(fixed, 0);                               // dwFileSubtype
    append32(fixed, 0);                               // dwFileDateMS
    append32(fixed, 0);                               // dwFileDateLS

    const QByteArray table = versionNode(QStringLiteral("040904B0"), {}, 0, 1,
                                         {stringNode(QStringLiteral("CompanyName"), QStringLiteral("Tivra tests")),
                                          stringNode(QStringLiteral("FileVersion"), dotted(f)),
                                          stringNode(QStringLiteral("ProductVersion"), dotted(p))});
    const QByteArray strings = versionNode(QStringLiteral("StringFileInfo"), {}, 0, 1, {table});
    QByteArray translation;
    append16(translation, 0x0409);
    append16(translation, 0x04B0);
    const QByteArray var = versionNode(QStringLiteral("Translation"), translation, 4, 0);
    const QByteArray vars = versionNode(QStringLiteral("VarFileInfo"), {}, 0, 1, {var});
    return versionNode(QStringLiteral("VS_VERSION_INFO"), fixed, quint16(fixed.size()), 0, {strings, vars});
}

// A resource section with one resource: type -> id 1 -> language 0x0409 -> data.
QByteArray resourceSection(quint32 type, const QByteArray &data)
{
    QByteArray b(88, '\0');
    put16(b, 14, 1);                       // root: one id entry
    put32(b, 16, type);
    put32(b, 20, 0x80000000u | 24);        // -> name directory
    put16(b, 24 + 14, 1);
    put32(b, 40, 1);                       // resource id 1
    put32(b, 44, 0x80000000u | 48);        // -> language directory
    put16(b, 48 + 14, 1);
    put32(b, 64, 0x0409);                  // language
    put32(b, 68, 72);                      // -> data entry
    put32(b, 72, kResourceRva + 88);       // data RVA
    put32(b, 76, quint32(data.size()));    // data size
    b += data;
    return b;
}

}  // namespace

QByteArray buildPeImage(const PeImageOptions &options)
{
    const bool plus = options.format == PeFormat::Pe32Plus;
    QByteArray resources;
    if (options.resources == PeResources::Version)
        resources = resourceSection(kRtVersion, versionInfo(options));
    else if (options.resources == PeResources::WithoutVersion)
        resources = resourceSection(kRtManifest,
                                    QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                                                      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
                                                      "manifestVersion=\"1.0\"></assembly>\r\n"));
    const bool hasResources = !resources.isEmpty();

    // Code: "mov eax, 1" then "ret 12" (32-bit DllMain) or "ret" (64-bit).
    QByteArray code = QByteArray::fromHex(plus ? "b801000000c3" : "b801000000c20c00");

    const quint16 optionalSize = plus ? 0xF0 : 0xE0;
    const quint16 sectionCount = hasResources ? 2 : 1;
    const quint32 headersSize = kFileAlignment;
    const quint32 textRaw = kFileAlignment;
    const quint32 resourceRaw = alignUp(quint32(resources.size()), kFileAlignment);
    const quint32 imageSize = hasResources ? kResourceRva + alignUp(quint32(resources.size()), kSectionAlignment)
                                           : kTextRva + kSectionAlignment;

    QByteArray image(qsizetype(headersSize + textRaw + (hasResources ? resourceRaw : 0)), '\0');

    // DOS header: "MZ" and the offset of the PE header.
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3C, kPeOffset);

    // PE signature and file header.
    const qsizetype coff = kPeOffset + 4;
    put32(image, kPeOffset, 0x00004550);
    put16(image, coff, plus ? 0x8664 : 0x014C);
    put16(image, coff + 2, sectionCount);
    put16(image, coff + 16, optionalSize);
    quint16 characteristics = 0x0002;                  // executable image
    characteristics |= plus ? 0x0020 : 0x0100;         // large address aware / 32-bit machine
    if (options.dll)
        characteristics |= 0x2000;
    put16(image, coff + 18, characteristics);

    // Optional header.
    const qsizetype opt = coff + 20;
    put16(image, opt, plus ? 0x20B : 0x10B);
    image[opt + 2] = 14;                               // linker version
    put32(image, opt + 4, textRaw);                    // SizeOfCode
    put32(image, opt + 8, resourceRaw);                // SizeOfInitializedData
    put32(image, opt + 16, kTextRva);                  // AddressOfEntryPoint
    put32(image, opt + 20, kTextRva);                  // BaseOfCode
    if (plus) {
        put64(image, opt + 24, options.dll ? 0x180000000ull : 0x140000000ull);
    } else {
        put32(image, opt + 24, kResourceRva);          // BaseOfData
        put32(image, opt + 28, options.dll ? 0x10000000u : 0x00400000u);
    }
    put32(image, opt + 32, kSectionAlignment);
    put32(image, opt + 36, kFileAlignment);
    put16(image, opt + 40, 6);                         // operating system version 6.0
    put16(image, opt + 48, 6);                         // subsystem version 6.0
    put32(image, opt + 56, imageSize);
    put32(image, opt + 60, headersSize);
    put16(image, opt + 68, 2);                         // Windows GUI subsystem
    put16(image, opt + 70, 0x0100);                    // NX compatible
    const qsizetype directories = plus ? opt + 112 : opt + 96;
    if (plus) {
        put64(image, opt + 72, 0x100000);
        put64(image, opt + 80, 0x1000);
        put64(image, opt + 88, 0x100000);
        put64(image, opt + 96, 0x1000);
        put32(image, opt + 108, 16);
    } else {
        put32(image, opt + 72, 0x100000);
        put32(image, opt + 76, 0x1000);
        put32(image, opt + 80, 0x100000);
        put32(image, opt + 84, 0x1000);
        put32(image, opt + 92, 16);
    }
    if (hasResources) {
        put32(image, directories + 2 * 8, kResourceRva);
        put32(image, directories + 2 * 8 + 4, quint32(resources.size()));
    }

    // Section table.
    const qsizetype table = opt + optionalSize;
    auto section = [&](int index, const char *name, quint32 virtualSize, quint32 rva, quint32 rawSize,
                       quint32 rawPointer, quint32 flags) {
        const qsizetype h = table + index * 40;
        for (int i = 0; i < 8 && name[i]; ++i)
            image[h + i] = name[i];
        put32(image, h + 8, virtualSize);
        put32(image, h + 12, rva);
        put32(image, h + 16, rawSize);
        put32(image, h + 20, rawPointer);
        put32(image, h + 36, flags);
    };
    section(0, ".text", quint32(code.size()), kTextRva, textRaw, headersSize, 0x60000020);
    image.replace(headersSize, code.size(), code);
    if (hasResources) {
        section(1, ".rsrc", quint32(resources.size()), kResourceRva, resourceRaw, headersSize + textRaw,
                0x40000040);
        image.replace(headersSize + textRaw, resources.size(), resources);
    }
    return image;
}

QByteArray buildPeImage(const PeVersion &fileVersion)
{
    PeImageOptions options;
    options.fileVersion = fileVersion;
    options.productVersion = fileVersion;
    return buildPeImage(options);
}

bool writePeFile(const QString &path, const PeImageOptions &options, QString *error)
{
    const QByteArray image = buildPeImage(options);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool writePeFile(const QString &path, const PeVersion &fileVersion, QString *error)
{
    PeImageOptions options;
    options.fileVersion = fileVersion;
    options.productVersion = fileVersion;
    return writePeFile(path, options, error);
}

}  // namespace tivra::pewriter
