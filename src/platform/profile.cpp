#include "platform/profile.h"

#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace tivra::platform {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Trims spaces and tabs only, as the profile functions do (no other white space).
QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin).toString();
}

QString unquote(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreakOrNul(const QString &text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

QString decodeUtf16(const QByteArray &bytes, qsizetype from, bool littleEndian)
{
    const qsizetype units = (bytes.size() - from) / 2;  // an odd last byte is dropped
    QString text;
    text.resize(units);
    QChar *dst = text.data();
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.constData() + from);
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned lo = littleEndian ? src[2 * i] : src[2 * i + 1];
        const unsigned hi = littleEndian ? src[2 * i + 1] : src[2 * i];
        dst[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

QByteArray encodeUtf16(const QString &text, bool littleEndian)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        const char hi = static_cast<char>(c.unicode() >> 8);
        bytes.append(littleEndian ? lo : hi);
        bytes.append(littleEndian ? hi : lo);
    }
    return bytes;
}

}  // namespace

ProfileFile::Line ProfileFile::parseLine(const QString &raw)
{
    Line line;
    line.raw = raw;
    // What follows a NUL character is not read, as the C strings of the Windows functions end
    // there.
    const qsizetype nul = raw.indexOf(QChar(0));
    const QString text = trimBlanks(nul < 0 ? QStringView(raw) : QStringView(raw).left(nul));
    if (text.isEmpty() || text.front() == u';')
        return line;
    if (text.front() == u'[') {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return line;  // not a section header
        line.kind = Line::Section;
        line.name = trimBlanks(QStringView(text).mid(1, close - 1));
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq == 0)
        return line;  // no key before the "=": neither a key nor a value
    if (eq < 0) {
        // A line without "=" is a key with an empty value, as the Windows functions list it
        // (packages write their key-only sections, such as the binaries list, this way too).
        line.kind = Line::Entry;
        line.name = text;
        return line;
    }
    line.name = trimBlanks(QStringView(text).left(eq));
    if (line.name.isEmpty())
        return line;
    line.kind = Line::Entry;
    line.value = unquote(trimBlanks(QStringView(text).mid(eq + 1)));
    return line;
}

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_unreadable = true;
        return;
    }
    m_existed = true;

    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LeBom;
        text = decodeUtf16(bytes, 2, true);
    } else if (bytes.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BeBom;
        text = decodeUtf16(bytes, 2, false);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(bytes.mid(3));
    } else {
        text = fromWindows1252(bytes);
    }
    const QStringList rawLines = splitLines(text);
    m_lines.reserve(rawLines.size());
    for (const QString &raw : rawLines)
        m_lines.push_back(parseLine(raw));
}

int ProfileFile::findSection(const QString &section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Section && sameName(m_lines[i].name, section))
            return static_cast<int>(i);
    }
    return -1;
}

int ProfileFile::sectionEnd(int headerIndex) const
{
    std::size_t i = static_cast<std::size_t>(headerIndex) + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::Section)
        ++i;
    return static_cast<int>(i);
}

int ProfileFile::findKey(int headerIndex, const QString &key) const
{
    const int end = sectionEnd(headerIndex);
    for (int i = headerIndex + 1; i < end; ++i) {
        const Line &line = m_lines[static_cast<std::size_t>(i)];
        if (line.kind == Line::Entry && sameName(line.name, key))
            return i;
    }
    return -1;
}

bool ProfileFile::hasSection(const QString &section) const
{
    return findSection(section) >= 0;
}

QStringList ProfileFile::namesOf(int first, int end, int kind) const
{
    // Each name once, in file order, as first spelled (names match without regard to case).
    QStringList names;
    QSet<QString> seen;
    for (int i = first; i < end; ++i) {
        const Line &line = m_lines[static_cast<std::size_t>(i)];
        if (line.kind != kind)
            continue;
        const QString folded = line.name.toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            names.append(line.name);
        }
    }
    return names;
}

QStringList ProfileFile::sections() const
{
    return namesOf(0, int(m_lines.size()), Line::Section);
}

QStringList ProfileFile::keys(const QString &section) const
{
    const int header = findSection(section);
    if (header < 0)
        return {};
    return namesOf(header + 1, sectionEnd(header), Line::Entry);
}

QStringList ProfileFile::sectionLines(const QString &section) const
{
    QStringList lines;
    const QStringList names = keys(section);
    for (const QString &key : names)
        lines.append(key + u'=' + readString(section, key));
    return lines;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const int header = findSection(section);
    if (header < 0)
        return defaultValue;
    const int index = findKey(header, key);
    if (index < 0)
        return defaultValue;
    return m_lines[static_cast<std::size_t>(index)].value;
}

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads the leading integer of a profile value: optional sign, then "0x" and hexadecimal digits
// or decimal digits, up to the first other character. Returns false when the value does not
// start (after the sign) with a digit.
bool parseProfileInteger(const QString &text, int *result)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i >= n || text.at(i) < u'0' || text.at(i) > u'9')
        return false;
    quint32 value = 0;  // wraps modulo 2^32 like the unsigned result of the Windows function
    if (text.at(i) == u'0' && i + 2 < n && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')
        && hexDigit(text.at(i + 2)) >= 0) {
        for (i += 2; i < n && hexDigit(text.at(i)) >= 0; ++i)
            value = value * 16 + static_cast<quint32>(hexDigit(text.at(i)));
    } else {
        for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
            value = value * 10 + static_cast<quint32>(text.at(i).unicode() - u'0');
    }
    if (negative)
        value = 0u - value;
    *result = static_cast<int>(value);
    return true;
}

}  // namespace

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int value = 0;
    return parseProfileInteger(readString(section, key), &value) ? value : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key) const
{
    int value = 0;
    return parseProfileInteger(readString(section, key), &value) && value != 0;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    if (sectionName.isEmpty() || hasLineBreakOrNul(sectionName) || sectionName.contains(u']'))
        return false;
    if (keyName.isEmpty() || hasLineBreakOrNul(keyName) || keyName.contains(u'=')
        || keyName.front() == u';' || keyName.front() == u'[')
        return false;
    QString text = value;
    for (QChar &c : text) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }

    const int header = findSection(sectionName);
    if (header < 0) {
        m_lines.push_back(parseLine(u'[' + sectionName + u']'));
        m_lines.push_back(parseLine(keyName + u'=' + text));
        m_dirty = true;
        return true;
    }
    const int index = findKey(header, keyName);
    if (index >= 0) {
        Line &line = m_lines[static_cast<std::size_t>(index)];
        const qsizetype eq = line.raw.indexOf(u'=');
        const QString stored = eq < 0 ? QString() : line.raw.mid(eq + 1);
        if (trimBlanks(stored) == trimBlanks(text))
            return true;  // reads the same already: nothing to write
        line = parseLine(line.name + u'=' + text);
        m_dirty = true;
        return true;
    }
    // After the last entry of the section, so that blank lines and comments that end it stay
    // in front of the next section.
    int insertAt = header + 1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (m_lines[static_cast<std::size_t>(i)].kind == Line::Entry)
            insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + insertAt, parseLine(keyName + u'=' + text));
    m_dirty = true;
    return true;
}

void ProfileFile::deleteKey(const QString &section, const QString &key)
{
    const int header = findSection(section);
    if (header < 0)
        return;
    for (int index = findKey(header, key); index >= 0; index = findKey(header, key)) {
        m_lines.erase(m_lines.begin() + index);
        m_dirty = true;
    }
}

void ProfileFile::deleteSection(const QString &section)
{
    for (int header = findSection(section); header >= 0; header = findSection(section)) {
        m_lines.erase(m_lines.begin() + header, m_lines.begin() + sectionEnd(header));
        m_dirty = true;
    }
}

bool ProfileFile::flush(QString *error)
{
    if (!m_dirty)
        return true;
    if (m_unreadable) {
        if (error)
            *error = QStringLiteral("The file %1 exists but could not be read; it was not overwritten.")
                         .arg(QFileInfo(m_path).absoluteFilePath());
        return false;
    }
    QString text;
    for (const Line &line : m_lines) {
        text += line.raw;
        text += u"\r\n";
    }
    QByteArray bytes;
    switch (m_encoding) {
    case Encoding::Ansi:
        bytes = toWindows1252(text);
        break;
    case Encoding::Utf8Bom:
        bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        break;
    case Encoding::Utf16LeBom:
        bytes = QByteArray("\xFF\xFE") + encodeUtf16(text, true);
        break;
    case Encoding::Utf16BeBom:
        bytes = QByteArray("\xFE\xFF") + encodeUtf16(text, false);
        break;
    }
    QSaveFile file(m_path);
    // Where no temporary file can be made beside it (a folder without write permission), the
    // file is written in place, as the Windows functions do.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    m_dirty = false;
    return true;
}

}  // namespace tivra::platform
