#pragma once

#include "Bytes.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

// The core speaks UTF-8 strings and byte vectors, the tests Qt's types.
inline QByteArray toQ(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

inline QString toQ(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline Bytes toBytes(const QByteArray &bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

inline std::string toStd(const QString &text)
{
    return text.toStdString();
}

// A path as the system takes it.
inline std::string native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}
