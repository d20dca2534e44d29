// How GoogleTest prints Qt values in failure messages: texts as text (UTF-8), not as the bytes of
// their storage. Included into every test program by tivra_add_gtest.
#pragma once

#ifdef __cplusplus
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '{';
    for (qsizetype i = 0; i < texts.size(); ++i)
        *out << (i ? ", \"" : "\"") << texts.at(i).toStdString() << '"';
    *out << '}';
}
#endif
