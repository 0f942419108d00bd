#pragma once

#include <QFile>
#include <QString>

#include <string>

// Where the window's text meets the core's: names, titles and messages cross
// as UTF-8, and a path as the bytes the system takes for it.
namespace CoreText {

inline QString fromCore(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline std::string toCore(const QString &text)
{
    return text.toStdString();
}

inline std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace CoreText
