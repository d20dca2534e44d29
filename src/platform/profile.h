// Profile (INI) files with the semantics of the Windows profile functions.
//
// Sections and keys are matched case-insensitively and the first match wins. Values are
// trimmed of blanks, and a value wrapped in matching double or single quotes loses them. The
// file is ANSI (Windows-1252) on disk; CR LF, LF and CR line ends are accepted. A file that
// starts with a UTF-16LE (the Unicode profile format of Windows), UTF-16BE or UTF-8 byte order
// mark is read in that encoding and written back in it. Comment lines (";") and blank lines are
// kept when the file is rewritten. A file that is missing or cannot be read reads as empty;
// malformed lines are ignored as Windows does: a line without "=" inside a section is neither a
// key nor a value, a "[" line without "]" is not a section header, and anything after a NUL
// character on a line is not read.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tivra::platform {

class ProfileFile {
public:
    // Loads the file at once; a missing or unreadable file gives an empty profile.
    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }
    // Whether the file existed (and could be read) when it was loaded.
    bool existed() const { return m_existed; }

    bool hasSection(const QString &section) const;
    // Names of the sections in file order (first spelling of each).
    QStringList sections() const;
    // Keys of the section in file order, each once, as spelled in the file.
    QStringList keys(const QString &section) const;
    // The section as "key=value" lines, one per key in file order, value as readString gives it.
    QStringList sectionLines(const QString &section) const;

    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // Integer reading of the Windows profile functions: optional sign, then decimal digits or
    // "0x" and hexadecimal digits; only the leading digits count ("12abc" is 12) and the value
    // wraps modulo 2^32 as the Windows function's unsigned result does. A value that does not
    // start with a digit (after the sign), an empty value or a missing key gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // 0 false, any other integer true, anything else or a missing key false.
    bool readBool(const QString &section, const QString &key) const;

    // Writes a key in place (keeping the stored key's spelling), or appends it after the last
    // entry of its section; a missing section is appended at the end of the file. Line breaks and
    // NUL characters in the value become blanks. Returns false, changing nothing, for a section
    // or key that a profile file cannot hold (empty, a line break, "]" in a section name, "=" in
    // a key, or a key starting with ";" or "[").
    bool writeString(const QString &section, const QString &key, const QString &value);
    // Deletes every entry of the key in the section that reads it.
    void deleteKey(const QString &section, const QString &key);
    // Deletes every section of that name with all its lines.
    void deleteSection(const QString &section);

    // Whether there are changes that flush() has not written yet.
    bool isModified() const { return m_dirty; }
    // Writes the profile back when it changed. Returns false and fills error on failure. A file
    // that existed but could not be read is never overwritten.
    bool flush(QString *error = nullptr);

private:
    struct Line {
        enum Kind { Other, Section, Entry } kind = Other;
        QString raw;     // the line as read (without line end)
        QString name;    // section name or key, trimmed
        QString value;   // for entries: trimmed value with matching outer quotes removed
    };
    int findSection(const QString &section) const;            // index of the header line, -1 if absent
    int sectionEnd(int headerIndex) const;                     // index after the last line of the section
    int findKey(int headerIndex, const QString &key) const;    // index of the entry line, -1 if absent
    QStringList namesOf(int first, int end, int kind) const;   // names of one kind of line, each once

    enum class Encoding { Ansi, Utf8Bom, Utf16LeBom, Utf16BeBom };
    static Line parseLine(const QString &raw);

    QString m_path;
    Encoding m_encoding = Encoding::Ansi;
    bool m_existed = false;
    bool m_unreadable = false;  // the file exists but could not be read
    bool m_dirty = false;
    std::vector<Line> m_lines;
};

}  // namespace tivra::platform
