// The registry of a machine without one: a registry export file in the .reg text format, read
// once when opened. Only HKEY_LOCAL_MACHINE is kept; keys of other roots are skipped.
#include "platform/registry.h"

#include "platform/textfile.h"

#include <QFile>
#include <QHash>

#include <optional>

namespace tivra::platform {

namespace {

enum : quint32 {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegLink = 6,
    RegMultiSz = 7,
    RegResourceList = 8,
    RegFullResourceDescriptor = 9,
    RegResourceRequirementsList = 10,
    RegQword = 11,
};

QString typeName(quint32 type)
{
    switch (type) {
    case RegNone: return QStringLiteral("REG_NONE");
    case RegSz: return QStringLiteral("REG_SZ");
    case RegExpandSz: return QStringLiteral("REG_EXPAND_SZ");
    case RegBinary: return QStringLiteral("REG_BINARY");
    case RegDword: return QStringLiteral("REG_DWORD");
    case RegDwordBigEndian: return QStringLiteral("REG_DWORD_BIG_ENDIAN");
    case RegLink: return QStringLiteral("REG_LINK");
    case RegMultiSz: return QStringLiteral("REG_MULTI_SZ");
    case RegResourceList: return QStringLiteral("REG_RESOURCE_LIST");
    case RegFullResourceDescriptor: return QStringLiteral("REG_FULL_RESOURCE_DESCRIPTOR");
    case RegResourceRequirementsList: return QStringLiteral("REG_RESOURCE_REQUIREMENTS_LIST");
    case RegQword: return QStringLiteral("REG_QWORD");
    default: return QStringLiteral("type %1").arg(type);
    }
}

// "A\\B\\\\C\\" -> "a\\b\\c": separators normalised, case folded; the form keys are stored under.
QString normalizeKeyPath(QStringView path)
{
    QString result;
    const auto parts = path.split(u'\\', Qt::SkipEmptyParts);
    for (const QStringView part : parts) {
        if (!result.isEmpty())
            result += u'\\';
        result += part.toString().toCaseFolded();
    }
    return result;
}

// Reads a quoted .reg string starting at text[pos] == '"'. The escapes \\ and \" are undone;
// a backslash before any other character stays, so hand-written paths such as "C:\Tivra" read
// as written. Returns false when the closing quote is missing.
bool readQuoted(QStringView text, qsizetype &pos, QString *out)
{
    if (pos >= text.size() || text.at(pos) != u'"')
        return false;
    QString value;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"') {
            pos = i + 1;
            *out = value;
            return true;
        }
        if (c == u'\\' && i + 1 < text.size() && (text.at(i + 1) == u'\\' || text.at(i + 1) == u'"')) {
            value += text.at(++i);
            continue;
        }
        value += c;
    }
    return false;
}

bool parseHexBytes(QStringView text, QByteArray *out)
{
    QByteArray bytes;
    const auto tokens = text.split(u',');
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QStringView token = tokens.at(i).trimmed();
        if (token.isEmpty()) {
            if (i == tokens.size() - 1)
                break;  // "hex:" with no data, or a trailing comma
            return false;
        }
        bool ok = false;
        const uint value = token.toUInt(&ok, 16);
        if (!ok || token.size() > 2 || value > 0xFF)
            return false;
        bytes.append(static_cast<char>(value));
    }
    *out = bytes;
    return true;
}

QString stringFromBytes(const QByteArray &bytes, bool unicode)
{
    if (!unicode) {
        const qsizetype nul = bytes.indexOf('\0');
        return fromWindows1252(nul < 0 ? bytes : bytes.left(nul));
    }
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes.at(i))
                                                | (static_cast<unsigned char>(bytes.at(i + 1)) << 8));
        if (unit == 0)
            break;
        text += QChar(unit);
    }
    return text;
}

QString decodeExport(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QString text;
        text.reserve(bytes.size() / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            text += QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes.at(i))
                                                | (static_cast<unsigned char>(bytes.at(i + 1)) << 8)));
        return text;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return fromWindows1252(bytes);
}

class ExportFileRegistry final : public Registry {
public:
    explicit ExportFileRegistry(const QString &path)
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            parse(decodeExport(file.readAll()));
    }

    bool keyExists(const QString &keyPath) const override
    {
        return resolve(keyPath) != nullptr;
    }

    RegistryValue readString(const QString &keyPath, const QString &valueName) const override
    {
        RegistryValue result;
        result.ok = true;
        const Key *key = resolve(keyPath);
        if (!key)
            return result;
        const auto it = key->values.constFind(valueName.toCaseFolded());
        if (it == key->values.cend())
            return result;
        if (it->type == RegSz || it->type == RegExpandSz) {
            result.text = it->text;
            return result;
        }
        result.ok = false;
        result.error = QStringLiteral("Invalid data type for '%1' (%2)").arg(valueName, typeName(it->type));
        return result;
    }

private:
    struct Value {
        quint32 type = RegNone;
        QString text;  // for REG_SZ and REG_EXPAND_SZ
    };
    struct Key {
        QHash<QString, Value> values;  // by case-folded name; "" is the default value
    };

    // The key a 32-bit process sees: SOFTWARE\X is redirected to SOFTWARE\WOW6432Node\X, and
    // the plain key serves where the export holds no redirected copy.
    const Key *resolve(const QString &keyPath) const
    {
        const QString path = normalizeKeyPath(keyPath);
        static const QString software = QStringLiteral("software\\");
        static const QString wow = QStringLiteral("software\\wow6432node");
        if (path.startsWith(software) && path != wow && !path.startsWith(wow + u'\\')) {
            const auto redirected = m_keys.constFind(wow + path.mid(software.size() - 1));
            if (redirected != m_keys.cend())
                return &*redirected;
        }
        const auto it = m_keys.constFind(path);
        return it == m_keys.cend() ? nullptr : &*it;
    }

    void addKey(const QString &path)
    {
        // A key implies its parents, whether the export lists them or not.
        qsizetype sep = -1;
        while ((sep = path.indexOf(u'\\', sep + 1)) >= 0)
            m_keys[path.left(sep)];
        m_keys[path];
    }

    void removeKey(const QString &path)
    {
        const QString prefix = path + u'\\';
        for (auto it = m_keys.begin(); it != m_keys.end();) {
            if (it.key() == path || it.key().startsWith(prefix) || path.isEmpty())
                it = m_keys.erase(it);
            else
                ++it;
        }
    }

    // Handles "[HKEY_LOCAL_MACHINE\...]" and "[-HKEY_LOCAL_MACHINE\...]"; returns the folded path
    // of the key that takes the following values, or nothing for deletions, other roots and
    // malformed lines.
    std::optional<QString> keyLine(QStringView line)
    {
        const qsizetype close = line.lastIndexOf(u']');
        if (close < 0)
            return std::nullopt;
        QStringView inner = line.mid(1, close - 1).trimmed();
        const bool deletion = inner.startsWith(u'-');
        if (deletion)
            inner = inner.mid(1).trimmed();
        const qsizetype sep = inner.indexOf(u'\\');
        const QStringView root = sep < 0 ? inner : inner.left(sep);
        if (root.compare(u"HKEY_LOCAL_MACHINE", Qt::CaseInsensitive) != 0
            && root.compare(u"HKLM", Qt::CaseInsensitive) != 0)
            return std::nullopt;
        const QString path = normalizeKeyPath(sep < 0 ? QStringView() : inner.mid(sep + 1));
        if (deletion) {
            removeKey(path);
            return std::nullopt;
        }
        addKey(path);
        return path;
    }

    void valueLine(const QString &keyPath, QStringView line)
    {
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(u'@'))
            pos = 1;
        else if (!readQuoted(line, pos, &name))
            return;
        const QStringView rest = line.mid(pos).trimmed();
        if (!rest.startsWith(u'='))
            return;
        const QStringView data = rest.mid(1).trimmed();
        auto keyIt = m_keys.find(keyPath);
        if (keyIt == m_keys.end())
            return;  // removed by a deletion line in between
        QHash<QString, Value> &values = keyIt->values;
        const QString folded = name.toCaseFolded();

        if (data == u"-") {
            values.remove(folded);
            return;
        }
        Value value;
        if (data.startsWith(u'"')) {
            qsizetype at = 0;
            if (!readQuoted(data, at, &value.text))
                return;
            value.type = RegSz;
        } else if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
            const QStringView digits = data.mid(6).trimmed();
            bool ok = false;
            (void)digits.toUInt(&ok, 16);
            if (!ok || digits.isEmpty() || digits.size() > 8)
                return;
            value.type = RegDword;
        } else if (data.startsWith(u"hex", Qt::CaseInsensitive)) {
            const qsizetype colon = data.indexOf(u':');
            if (colon < 0)
                return;
            const QStringView typeText = data.left(colon).mid(3).trimmed();
            if (typeText.isEmpty()) {
                value.type = RegBinary;
            } else {
                if (!typeText.startsWith(u'(') || !typeText.endsWith(u')'))
                    return;
                bool ok = false;
                value.type = typeText.mid(1, typeText.size() - 2).trimmed().toUInt(&ok, 16);
                if (!ok)
                    return;
            }
            QByteArray bytes;
            if (!parseHexBytes(data.mid(colon + 1), &bytes))
                return;
            if (value.type == RegSz || value.type == RegExpandSz)
                value.text = stringFromBytes(bytes, m_unicodeFormat);
        } else {
            return;
        }
        values.insert(folded, value);
    }

    void parse(const QString &text)
    {
        const QStringList lines = splitLines(text);
        std::optional<QString> current;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QString line = lines.at(i).trimmed();
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (line == u"REGEDIT4") {
                m_unicodeFormat = false;
                continue;
            }
            if (line.startsWith(u"Windows Registry Editor Version")) {
                m_unicodeFormat = true;
                continue;
            }
            if (line.startsWith(u'[')) {
                current = keyLine(line);
                continue;
            }
            if (!line.startsWith(u'"') && !line.startsWith(u'@'))
                continue;
            // Binary data continues on the next line after a final backslash.
            if (isHexValue(line)) {
                while (line.endsWith(u'\\') && i + 1 < lines.size()) {
                    line.chop(1);
                    line += lines.at(++i).trimmed();
                }
            }
            if (current)
                valueLine(*current, line);
        }
    }

    static bool isHexValue(const QString &line)
    {
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(u'@'))
            pos = 1;
        else if (!readQuoted(line, pos, &name))
            return false;
        const QStringView rest = QStringView(line).mid(pos).trimmed();
        return rest.startsWith(u'=') && rest.mid(1).trimmed().startsWith(u"hex", Qt::CaseInsensitive);
    }

    QHash<QString, Key> m_keys;  // by normalised path below HKEY_LOCAL_MACHINE
    bool m_unicodeFormat = true;  // hex(1)/hex(2) data is UTF-16LE (version 5) or ANSI (REGEDIT4)
};

}  // namespace

std::unique_ptr<Registry> Registry::open(const QString &installerDirectory)
{
    QString path = qEnvironmentVariable("TIVRA_REGISTRY");
    if (path.isEmpty()) {
        path = installerDirectory;
        if (!path.isEmpty() && !path.endsWith(u'/') && !path.endsWith(u'\\'))
            path += u'/';
        path += QStringLiteral("registry.reg");
    }
    return std::make_unique<ExportFileRegistry>(path);
}

}  // namespace tivra::platform
