#include "ListFile.h"

#include "CsvList.h"
#include "JsonList.h"
#include "PoList.h"
#include "TextList.h"

#include <QStringDecoder>
#include <QStringTokenizer>

namespace NameList {
namespace {

// The first line that is not UTF-8, counted from 1, or 0.
int lineNotUtf8(const QByteArray &bytes)
{
    int number = 0;
    for (const QByteArray &line : bytes.split('\n')) {
        ++number;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(line);
        if (utf8.hasError())
            return number;
    }
    return 0;
}

// Whether the first line that is not blank or a comment looks like CSV.
bool looksLikeCsv(QStringView text)
{
    for (QStringView line : qTokenize(text, u'\n')) {
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        return !line.contains(u'\t') && (line.contains(u',') || line.contains(u';'));
    }
    return false;
}

Request unreadable(const QString &why)
{
    Request request;
    request.unreadable = why;
    return request;
}

} // namespace

Request read(const QByteArray &bytes, const QByteArray &path)
{
    const QByteArray data = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (data.contains('\0'))
        return unreadable(QStringLiteral("holds NUL bytes, so it is not a text list of names "
                                         "(were IMAGE and FILE given the wrong way round?)"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(data);
    if (utf8.hasError())
        return unreadable(QStringLiteral("line %1 is not UTF-8 text").arg(lineNotUtf8(data)));

    const QByteArray ending = path.toLower();
    if (ending.endsWith(".po") || ending.endsWith(".pot") || Po::looksLikePo(text))
        return Po::read(data);
    if (text.trimmed().startsWith(u'['))
        return Json::read(data);
    if (ending.endsWith(".csv") || looksLikeCsv(text))
        return Csv::read(text);
    return Text::read(text);
}

} // namespace NameList
