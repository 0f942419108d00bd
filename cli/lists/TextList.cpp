#include "TextList.h"

#include "Columns.h"

#include <QStringTokenizer>

#include <utility>

namespace NameList::Text {

QString line(const Row &row)
{
    return QStringList{QString::fromLatin1(row.table->name), QString::number(row.index), leadingText(row),
                       row.name, hexColumn(row.field, row.table->nameLength)}
        .join(u'\t');
}

QByteArray write(const std::vector<Row> &rows)
{
    QString text;
    for (const Row &row : rows)
        text += line(row) + u'\n';
    return text.toUtf8();
}

Request read(const QString &text)
{
    Columns::Reader reader(5, QStringLiteral("tabs"));
    int number = 0;
    for (QStringView row : qTokenize(text, u'\n')) {
        if (row.endsWith(u'\r'))
            row.chop(1);
        QStringList fields;
        for (const QStringView field : row.split(u'\t'))
            fields += field.toString();
        reader.take(++number, fields);
    }
    return std::move(reader.request());
}

} // namespace NameList::Text
