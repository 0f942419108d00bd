#include "CsvList.h"

#include "Columns.h"

#include <fmt/format.h>

#include <utility>

namespace NameList::Csv {
namespace {

std::string quoted(const std::string &field)
{
    const bool plain = !field.starts_with(' ') && !field.ends_with(' ')
                    && field.find_first_of(",;\"\r\n") == std::string::npos;
    if (plain)
        return field;
    std::string text = "\"";
    for (const char c : field)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + '"';
}

// Reads one row at a time, counting lines.
class Rows {
public:
    Rows(std::string_view text, char separator) : m_text(text), m_separator(separator) {}
    bool atEnd() const { return m_at >= m_text.size(); }
    int line() const { return m_line; }

    // The next row's fields; false, with why set, where a quoted field does
    // not end or has text after its closing quote.
    bool next(Columns::Fields &fields, std::string &why)
    {
        fields.clear();
        while (true) {
            if (!field(fields, why))
                return false;
            if (!atEnd() && at() == m_separator) {
                ++m_at;
                continue;
            }
            if (!atEnd() && at() == '\r')
                ++m_at;
            if (!atEnd() && at() == '\n') {
                ++m_at;
                ++m_line;
            }
            return true;
        }
    }

private:
    char at() const { return m_text[m_at]; }

    bool field(Columns::Fields &fields, std::string &why)
    {
        if (atEnd() || at() != '"') {
            const std::size_t start = m_at;
            while (!atEnd() && at() != m_separator && at() != '\n')
                ++m_at;
            std::string_view plain = m_text.substr(start, m_at - start);
            if (plain.ends_with('\r'))
                plain.remove_suffix(1);
            fields.emplace_back(plain);
            return true;
        }
        const int opened = m_line;
        std::string text;
        for (++m_at;; ++m_at) {
            if (atEnd()) {
                why = fmt::format("the quoted field that starts on line {} does not end", opened);
                return false;
            }
            if (at() == '"') {
                if (m_at + 1 < m_text.size() && m_text[m_at + 1] == '"')
                    ++m_at;
                else
                    break;
            } else if (at() == '\n') {
                ++m_line;
            }
            text += at();
        }
        ++m_at;
        if (!atEnd() && at() != m_separator && at() != '\r' && at() != '\n') {
            why = fmt::format("line {}: text after the closing quote of a field", m_line);
            return false;
        }
        fields.push_back(std::move(text));
        return true;
    }

    std::string_view m_text;
    char m_separator;
    std::size_t m_at = 0;
    int m_line = 1;
};

// The semicolon where the first row that is not blank or a comment is a
// header separated by semicolons, else the comma.
char separatorOf(std::string_view text)
{
    Rows rows(text, ';');
    Columns::Fields fields;
    std::string why;
    while (!rows.atEnd() && rows.next(fields, why)) {
        bool blank = true;
        for (const std::string &field : fields)
            blank = blank && field.empty();
        if (blank || fields.front().starts_with('#'))
            continue;
        return Columns::isHeader(fields) ? ';' : ',';
    }
    return ',';
}

} // namespace

std::string write(const std::vector<Row> &rows)
{
    std::string text = "category,index,byte,name,max,bytes\r\n";
    for (const Row &row : rows)
        text += fmt::format("{},{},{},{},{},{}\r\n", row.table->name, row.index, leadingText(row), quoted(row.name),
                            row.table->nameLength, hexColumn(row.field, row.table->nameLength));
    return text;
}

Request read(std::string_view text)
{
    const char separator = separatorOf(text);
    Columns::Reader reader(6, separator == ';' ? "semicolons" : "commas");
    Rows rows(text, separator);
    Columns::Fields fields;
    std::string why;
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
