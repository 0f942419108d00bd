#include "Columns.h"

#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace NameList::Columns {
namespace {

constexpr std::array<const char *, 3> Named = {"category", "index", "name"};

// The first column at or after from that bears the name, or -1.
std::ptrdiff_t columnNamed(const Fields &fields, const char *name, std::size_t from = 0)
{
    for (std::size_t k = from; k < fields.size(); ++k)
        if (Utf8::sameWord(Utf8::trimmed(fields[k]), name))
            return std::ptrdiff_t(k);
    return -1;
}

// A row of empty cells, or of cells holding only spaces and tabs: a blank
// line, or one that a spreadsheet saved with its separators.
bool isBlank(const Fields &fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const std::string &field) {
        return field.find_first_not_of(" \t") == std::string::npos;
    });
}

// Reads one row at a time, counting lines.
class Rows {
public:
    Rows(std::string_view text, char separator) : m_text(text), m_separator(separator) {}
    bool atEnd() const { return m_at >= m_text.size(); }
    int line() const { return m_line; }
    bool atComment() const { return !atEnd() && at() == '#'; }

    void skipLine()
    {
        m_at = Utf8::lineEnd(m_text, m_at);
        endLine();
    }

    // The next row's fields; false, with why set, where a quoted field does
    // not end or has text after its closing quote.
    bool next(Fields &fields, std::string &why)
    {
        fields.clear();
        while (true) {
            if (!field(fields, why))
                return false;
            if (!atEnd() && at() == m_separator) {
                ++m_at;
                continue;
            }
            endLine();
            return true;
        }
    }

private:
    char at() const { return m_text[m_at]; }
    bool atLineEnd() const { return at() == '\n' || at() == '\r'; }

    // Past the line break at the reading place, if one is there.
    void endLine()
    {
        if (const std::size_t broken = Utf8::lineBreak(m_text, m_at); broken > 0) {
            m_at += broken;
            ++m_line;
        }
    }

    bool field(Fields &fields, std::string &why)
    {
        if (atEnd() || at() != '"') {
            const std::size_t start = m_at;
            while (!atEnd() && at() != m_separator && !atLineEnd())
                ++m_at;
            fields.emplace_back(m_text.substr(start, m_at - start));
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
            } else if (const std::size_t broken = Utf8::lineBreak(m_text, m_at); broken > 0) {
                // A line break inside the quotes is the cell's, kept as written.
                text += m_text.substr(m_at, broken);
                m_at += broken - 1;
                ++m_line;
                continue;
            }
            text += at();
        }
        ++m_at;
        if (!atEnd() && at() != m_separator && !atLineEnd()) {
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

// Takes the rows in order.
class Reader {
public:
    // separator names what parts the columns ("tabs", "commas") in messages.
    Reader(std::size_t widest, std::string separator) : m_widest(widest), m_separator(std::move(separator)) {}
    // A "#" line is a comment unless a header has put the name first.
    bool takesComments() const { return !(m_header && m_at[2] == 0); }
    void take(int line, const Fields &fields);
    Request &request() { return m_request; }

private:
    Request m_request;
    Collector m_collector{m_request};
    std::size_t m_widest;
    std::string m_separator;
    std::array<std::size_t, 3> m_at = {0, 1, 3};  // category, index, name: a dump's places unless a header says
    // What the field held when the list was made: a dump's last column, or
    // the one a header names bytes; -1 where a header names none.
    std::ptrdiff_t m_bytesAt = std::ptrdiff_t(m_widest) - 1;
    bool m_header = false;
    bool m_first = true;
};

void Reader::take(int line, const Fields &fields)
{
    if (isBlank(fields))
        return;
    if (std::exchange(m_first, false) && isHeader(fields)) {
        m_header = true;
        for (std::size_t k = 0; k < Named.size(); ++k) {
            m_at[k] = std::size_t(columnNamed(fields, Named[k]));
            if (columnNamed(fields, Named[k], m_at[k] + 1) >= 0)
                m_collector.refuse(line, fmt::format("The header names the {} column twice.", Named[k]));
        }
        m_bytesAt = columnNamed(fields, "bytes");
        return;
    }
    const std::size_t needed = std::max({m_at[0], m_at[1], m_at[2]}) + 1;
    if (fields.size() < needed || (!m_header && fields.size() > m_widest)) {
        m_collector.refuse(line, m_header ? fmt::format("Expected the {} columns the header names; found {} "
                                                        "column(s).",
                                                        needed, fields.size())
                                          : fmt::format("Expected category, index, leading byte, name and "
                                                        "bytes separated by {}; found {} column(s).",
                                                        m_separator, fields.size()));
        return;
    }
    const bool based = m_bytesAt >= 0 && std::size_t(m_bytesAt) < fields.size();
    m_collector.add(line, fields[m_at[0]], fields[m_at[1]], fields[m_at[2]],
                    based ? std::string_view(fields[std::size_t(m_bytesAt)]) : std::string_view());
}

} // namespace

bool isHeader(const Fields &fields)
{
    return std::all_of(Named.begin(), Named.end(), [&](const char *name) { return columnNamed(fields, name) >= 0; });
}

char separatorOf(std::string_view text)
{
    // The first row that is neither blank nor a comment, as each separator
    // would split it: the one that makes it a header, or puts a category in
    // its first column, is the file's; else the one that splits it most.
    Fields row;
    std::string why;
    std::string_view first;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = Utf8::lineEnd(text, start);
        const std::string_view line = text.substr(start, end - start);
        start = end + std::max<std::size_t>(Utf8::lineBreak(text, end), 1);
        if (line.starts_with('#') || Utf8::trimmed(line).empty())
            continue;
        first = text.substr(line.data() - text.data());
        break;
    }
    std::size_t most = 0;
    char widest = '\t';
    for (const char separator : {'\t', ',', ';'}) {
        Rows rows(first, separator);
        if (!rows.next(row, why))
            continue;
        if (isHeader(row) || tableNamed(Utf8::trimmed(row.front())))
            return separator;
        if (row.size() > most) {
            most = row.size();
            widest = separator;
        }
    }
    return widest;
}

Request read(std::string_view text, char separator)
{
    Reader reader(separator == '\t' ? 5 : 6, separator == '\t' ? "tabs" : separator == ';' ? "semicolons" : "commas");
    Rows rows(text, separator);
    Fields fields;
    std::string why;
    while (!rows.atEnd()) {
        if (reader.takesComments() && rows.atComment()) {
            rows.skipLine();
            continue;
        }
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

} // namespace NameList::Columns
