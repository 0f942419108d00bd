#include "CsvList.h"

#include "Columns.h"

#include <utility>

namespace NameList::Csv {
namespace {

QString quoted(const QString &field)
{
    static const QString special = QStringLiteral(",;\"\r\n");
    bool plain = !field.startsWith(u' ') && !field.endsWith(u' ');
    for (const QChar c : field)
        plain = plain && !special.contains(c);
    return plain ? field : u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// Reads one row at a time, counting lines.
class Rows {
public:
    Rows(QStringView text, QChar separator) : m_text(text), m_separator(separator) {}
    bool atEnd() const { return m_at >= m_text.size(); }
    int line() const { return m_line; }

    // The next row's fields; false, with why set, where a quoted field does
    // not end or has text after its closing quote.
    bool next(QStringList &fields, QString &why)
    {
        fields.clear();
        while (true) {
            if (!field(fields, why))
                return false;
            if (!atEnd() && at() == m_separator) {
                ++m_at;
                continue;
            }
            if (!atEnd() && at() == u'\r')
                ++m_at;
            if (!atEnd() && at() == u'\n') {
                ++m_at;
                ++m_line;
            }
            return true;
        }
    }

private:
    QChar at() const { return m_text.at(m_at); }

    bool field(QStringList &fields, QString &why)
    {
        if (atEnd() || at() != u'"') {
            const qsizetype start = m_at;
            while (!atEnd() && at() != m_separator && at() != u'\n')
                ++m_at;
            QStringView plain = m_text.mid(start, m_at - start);
            if (plain.endsWith(u'\r'))
                plain.chop(1);
            fields += plain.toString();
            return true;
        }
        const int opened = m_line;
        QString text;
        for (++m_at;; ++m_at) {
            if (atEnd()) {
                why = QStringLiteral("the quoted field that starts on line %1 does not end").arg(opened);
                return false;
            }
            if (at() == u'"') {
                if (m_at + 1 < m_text.size() && m_text.at(m_at + 1) == u'"')
                    ++m_at;
                else
                    break;
            } else if (at() == u'\n') {
                ++m_line;
            }
            text += at();
        }
        ++m_at;
        if (!atEnd() && at() != m_separator && at() != u'\r' && at() != u'\n') {
            why = QStringLiteral("line %1: text after the closing quote of a field").arg(m_line);
            return false;
        }
        fields += text;
        return true;
    }

    QStringView m_text;
    QChar m_separator;
    qsizetype m_at = 0;
    int m_line = 1;
};

// The semicolon where the first row that is not blank or a comment is a
// header separated by semicolons, else the comma.
QChar separatorOf(QStringView text)
{
    Rows rows(text, u';');
    QStringList fields;
    QString why;
    while (!rows.atEnd() && rows.next(fields, why)) {
        if (fields.join(QString()).isEmpty() || fields.first().startsWith(u'#'))
            continue;
        return Columns::isHeader(fields) ? u';' : u',';
    }
    return u',';
}

} // namespace

QByteArray write(const std::vector<Row> &rows)
{
    QString text = QStringLiteral("category,index,byte,name,max,bytes\r\n");
    for (const Row &row : rows)
        text += QStringList{QString::fromLatin1(row.table->name), QString::number(row.index), leadingText(row),
                            quoted(row.name), QString::number(row.table->nameLength),
                            hexColumn(row.field, row.table->nameLength)}
                    .join(u',')
              + QStringLiteral("\r\n");
    return text.toUtf8();
}

Request read(const QString &text)
{
    const QChar separator = separatorOf(text);
    Columns::Reader reader(6, separator == u';' ? QStringLiteral("semicolons") : QStringLiteral("commas"));
    Rows rows(text, separator);
    QStringList fields;
    QString why;
    while (!rows.atEnd()) {
        const int line = rows.line();
        if (!rows.next(fields, why)) {
            Request unreadable;
            unreadable.unreadable = why;
            return unreadable;
        }
        reader.take(line, fields);
    }
    return std::move(reader.request());
}

} // namespace NameList::Csv
