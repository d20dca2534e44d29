// Text files as the product writes and reads them: Windows-1252 on disk, CR LF line ends.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tivra::platform {

// Windows-1252 conversions (unmappable characters become '?').
QByteArray toWindows1252(const QString &text);
QString fromWindows1252(const QByteArray &bytes);

// Decodes a text file written on Windows: UTF-8 or UTF-16 when it starts with a byte-order
// mark, UTF-8 when it is valid UTF-8 holding non-ASCII characters (Windows-1252 text with accents
// almost never is), Windows-1252 otherwise.
QString decodeWindowsText(const QByteArray &bytes);

// Writes every item followed by CR LF in Windows-1252, replacing the file.
// Returns false and fills error on failure.
bool writeTextItems(const QString &path, const QStringList &items, QString *error = nullptr);

// Splits text into lines at CR LF, LF or CR. A final line end does not make an extra empty line.
QStringList splitLines(const QString &text);

// Reads a Windows-1252 text file and splits it into lines. ok (when given) tells whether the file
// could be read.
QStringList readTextLines(const QString &path, bool *ok = nullptr);
// Reads a whole Windows-1252 text file.
QString readText(const QString &path, bool *ok = nullptr);

}  // namespace tivra::platform
