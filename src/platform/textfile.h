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

// Writes every item followed by CR LF in Windows-1252 into a file that did not exist: when path
// is taken, "name_2.ext", "name_3.ext"... are tried in turn (records named by the minute, so two
// runs in the same minute each keep their own). A name is passed over too when a file with the
// same base name and one of companionExtensions exists (".json": the summary that goes with a
// log file). The name is claimed by an exclusive create, so two processes never share it.
// Returns the path written, or empty text with error filled; an existing file is never touched.
QString writeNewTextItems(const QString &path, const QStringList &items, QString *error = nullptr,
                          const QStringList &companionExtensions = {});

// Splits text into lines at CR LF, LF or CR. A final line end does not make an extra empty line.
QStringList splitLines(const QString &text);

// Reads a Windows-1252 text file and splits it into lines. ok (when given) tells whether the file
// could be read.
QStringList readTextLines(const QString &path, bool *ok = nullptr);
// Reads a whole Windows-1252 text file.
QString readText(const QString &path, bool *ok = nullptr);

}  // namespace tivra::platform
