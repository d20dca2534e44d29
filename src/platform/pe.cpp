// Fixed file version of a PE image, read from the bytes: DOS header, PE header, optional header
// (PE32 or PE32+), resource data directory, section table, resource directory (RT_VERSION, first
// name, first language), and the VS_VERSIONINFO block with its VS_FIXEDFILEINFO.
//
// Every offset and size comes from the file and is checked against the image before it is used;
// the resource walk has a fixed depth of three levels and loops only over counts the image
// bounds. Anything malformed gives no version.
#include "platform/pe.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace tivra::platform {

namespace {

constexpr quint32 kFixedFileInfoSignature = 0xFEEF04BD;
constexpr quint32 kRtVersion = 16;
constexpr quint32 kHighBit = 0x80000000u;

class Bytes {
public:
    explicit Bytes(const QByteArray &image)
        : m_data(reinterpret_cast<const unsigned char *>(image.constData()))
        , m_size(static_cast<quint64>(image.size()))
    {
    }

    quint64 size() const { return m_size; }
    bool has(quint64 offset, quint64 length) const { return offset <= m_size && length <= m_size - offset; }

    std::optional<quint16> u16(quint64 offset) const
    {
        if (!has(offset, 2))
            return std::nullopt;
        return static_cast<quint16>(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::optional<quint32> u32(quint64 offset) const
    {
        if (!has(offset, 4))
            return std::nullopt;
        return static_cast<quint32>(m_data[offset]) | (static_cast<quint32>(m_data[offset + 1]) << 8)
            | (static_cast<quint32>(m_data[offset + 2]) << 16) | (static_cast<quint32>(m_data[offset + 3]) << 24);
    }

private:
    const unsigned char *m_data;
    quint64 m_size;
};

struct Section {
    quint32 virtualAddress = 0;
    quint32 rawSize = 0;
    quint32 rawPointer = 0;
};

class PeImage {
public:
    explicit PeImage(const QByteArray &image)
        : m_bytes(image)
    {
    }

    std::optional<PeFileVersion> fileVersion()
    {
        const auto resourceRva = readHeaders();
        if (!resourceRva)
            return std::nullopt;
        const auto dataEntryRva = findVersionDataEntry(*resourceRva);
        if (!dataEntryRva)
            return std::nullopt;
        return readVersionInfo(*dataEntryRva);
    }

private:
    // Checks the headers, loads the section table and returns the RVA of the resource directory.
    std::optional<quint32> readHeaders()
    {
        if (!m_bytes.has(0, 0x40) || m_bytes.u16(0) != quint16(0x5A4D))  // "MZ"
            return std::nullopt;
        const quint64 peOffset = *m_bytes.u32(0x3C);
        if (m_bytes.u32(peOffset) != quint32(0x00004550))  // "PE\0\0"
            return std::nullopt;
        const quint64 coff = peOffset + 4;
        const auto sectionCount = m_bytes.u16(coff + 2);
        const auto optionalSize = m_bytes.u16(coff + 16);
        if (!sectionCount || !optionalSize)
            return std::nullopt;
        const quint64 optional = coff + 20;
        if (!m_bytes.has(optional, *optionalSize))
            return std::nullopt;

        quint64 countOffset = 0;
        quint64 directoriesOffset = 0;
        const auto magic = m_bytes.u16(optional);
        if (magic == quint16(0x10B)) {  // PE32
            countOffset = 92;
            directoriesOffset = 96;
        } else if (magic == quint16(0x20B)) {  // PE32+
            countOffset = 108;
            directoriesOffset = 112;
        } else {
            return std::nullopt;
        }
        // The resource directory is data directory 2; it must lie inside the optional header.
        const quint64 resourceEntry = directoriesOffset + 2 * 8;
        if (*optionalSize < resourceEntry + 8)
            return std::nullopt;
        const auto directoryCount = m_bytes.u32(optional + countOffset);
        if (!directoryCount || *directoryCount <= 2)
            return std::nullopt;
        const auto resourceRva = m_bytes.u32(optional + resourceEntry);
        const auto resourceSize = m_bytes.u32(optional + resourceEntry + 4);
        if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0)
            return std::nullopt;

        const quint64 table = optional + *optionalSize;
        if (!m_bytes.has(table, quint64(*sectionCount) * 40))
            return std::nullopt;
        m_sections.reserve(*sectionCount);
        for (quint64 i = 0; i < *sectionCount; ++i) {
            const quint64 header = table + i * 40;
            Section section;
            section.virtualAddress = *m_bytes.u32(header + 12);
            section.rawSize = *m_bytes.u32(header + 16);
            section.rawPointer = *m_bytes.u32(header + 20);
            m_sections.push_back(section);
        }
        return *resourceRva;
    }

    // File offset of length bytes at rva, when they lie inside the raw data of one section and
    // inside the image.
    std::optional<quint64> offsetOf(quint64 rva, quint64 length) const
    {
        for (const Section &section : m_sections) {
            if (rva < section.virtualAddress)
                continue;
            const quint64 delta = rva - section.virtualAddress;
            if (delta >= section.rawSize || length > section.rawSize - delta)
                continue;
            const quint64 offset = quint64(section.rawPointer) + delta;
            if (!m_bytes.has(offset, length))
                return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }

    std::optional<quint32> u32At(quint64 rva) const
    {
        const auto offset = offsetOf(rva, 4);
        if (!offset)
            return std::nullopt;
        return m_bytes.u32(*offset);
    }

    struct DirectoryEntry {
        quint32 name = 0;
        quint32 target = 0;
    };

    // Number of entries of the resource directory at rva.
    std::optional<quint32> entryCount(quint64 rva) const
    {
        const auto offset = offsetOf(rva, 16);
        if (!offset)
            return std::nullopt;
        return quint32(*m_bytes.u16(*offset + 12)) + quint32(*m_bytes.u16(*offset + 14));
    }

    std::optional<DirectoryEntry> entry(quint64 directoryRva, quint32 index) const
    {
        const quint64 rva = directoryRva + 16 + quint64(index) * 8;
        const auto name = u32At(rva);
        const auto target = u32At(rva + 4);
        if (!name || !target)
            return std::nullopt;
        return DirectoryEntry{*name, *target};
    }

    // Walks type RT_VERSION -> first name -> first language; returns the RVA of the data entry.
    std::optional<quint64> findVersionDataEntry(quint64 root) const
    {
        const auto types = entryCount(root);
        if (!types)
            return std::nullopt;
        std::optional<DirectoryEntry> version;
        for (quint32 i = 0; i < *types && !version; ++i) {
            const auto e = entry(root, i);
            if (!e)
                return std::nullopt;
            if (e->name == kRtVersion)  // an id entry (high bit clear) with the value 16
                version = e;
        }
        if (!version || !(version->target & kHighBit))
            return std::nullopt;

        const quint64 names = root + (version->target & ~kHighBit);
        const auto nameCount = entryCount(names);
        if (!nameCount || *nameCount == 0)
            return std::nullopt;
        const auto name = entry(names, 0);
        if (!name || !(name->target & kHighBit))
            return std::nullopt;

        const quint64 languages = root + (name->target & ~kHighBit);
        const auto languageCount = entryCount(languages);
        if (!languageCount || *languageCount == 0)
            return std::nullopt;
        const auto language = entry(languages, 0);
        if (!language || (language->target & kHighBit))
            return std::nullopt;
        return root + language->target;
    }

    std::optional<PeFileVersion> readVersionInfo(quint64 dataEntryRva) const
    {
        const auto dataRva = u32At(dataEntryRva);
        const auto dataSize = u32At(dataEntryRva + 4);
        if (!dataRva || !dataSize)
            return std::nullopt;
        const auto block = offsetOf(*dataRva, *dataSize);
        if (!block)
            return std::nullopt;

        // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO\0", padding to a
        // 32-bit boundary, then VS_FIXEDFILEINFO.
        const auto length = m_bytes.u16(*block);
        if (!length || *length > *dataSize)
            return std::nullopt;
        static constexpr char16_t kKey[] = u"VS_VERSION_INFO";  // 15 characters and the NUL
        constexpr quint64 keyOffset = 6;
        constexpr quint64 keyBytes = sizeof(kKey);
        const quint64 fixedRva = (quint64(*dataRva) + keyOffset + keyBytes + 3) & ~quint64(3);
        const quint64 fixedOffset = fixedRva - *dataRva;
        if (fixedOffset + 52 > *length)
            return std::nullopt;
        for (quint64 i = 0; i < keyBytes / 2; ++i) {
            if (m_bytes.u16(*block + keyOffset + 2 * i) != quint16(kKey[i]))
                return std::nullopt;
        }
        const quint64 fixed = *block + fixedOffset;
        if (m_bytes.u32(fixed) != kFixedFileInfoSignature)
            return std::nullopt;
        const quint32 ms = *m_bytes.u32(fixed + 8);
        const quint32 ls = *m_bytes.u32(fixed + 12);
        return PeFileVersion{quint16(ms >> 16), quint16(ms & 0xFFFF), quint16(ls >> 16), quint16(ls & 0xFFFF)};
    }

    Bytes m_bytes;
    std::vector<Section> m_sections;
};

}  // namespace

std::optional<PeFileVersion> readPeFileVersion(const QByteArray &image)
{
    return PeImage(image).fileVersion();
}

std::optional<PeFileVersion> readPeFileVersionFromFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size < 0x40 || file.peek(2) != "MZ")
        return std::nullopt;
    // Mapped rather than read: any file may be asked for its version, large data files included,
    // and only the few pages the headers and the resource point at are touched.
    if (uchar *mapped = file.map(0, size)) {
        const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), size);
        auto version = readPeFileVersion(view);
        file.unmap(mapped);
        return version;
    }
    constexpr qint64 kLargestReadImage = qint64(256) * 1024 * 1024;
    if (size > kLargestReadImage)
        return std::nullopt;
    return readPeFileVersion(file.readAll());
}

}  // namespace tivra::platform
