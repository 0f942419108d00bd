#include "Columns.h"

#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace NameList::Columns {
namespace {

constexpr std::array<const char *, 3> Named = {"category", "index", "name"};

bool sameWord(std::string_view field, std::string_view name)
{
    return std::equal(field.begin(), field.end(), name.begin(), name.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
    });
}

// The first column at or after from that bears the name, or -1.
std::ptrdiff_t columnNamed(const Fields &fields, const char *name, std::size_t from = 0)
{
    for (std::size_t k = from; k < fields.size(); ++k)
        if (sameWord(Utf8::trimmed(fields[k]), name))
            return std::ptrdiff_t(k);
    return -1;
}

} // namespace

bool isHeader(const Fields &fields)
{
    return std::all_of(Named.begin(), Named.end(), [&](const char *name) { return columnNamed(fields, name) >= 0; });
}

void Reader::take(int line, const Fields &fields)
{
    if (fields.empty() || (fields.size() == 1 && fields.front().empty()) || fields.front().starts_with('#'))
        return;
    if (std::exchange(m_first, false) && isHeader(fields)) {
        m_header = true;
        for (std::size_t k = 0; k < Named.size(); ++k) {
            m_at[k] = std::size_t(columnNamed(fields, Named[k]));
            if (columnNamed(fields, Named[k], m_at[k] + 1) >= 0)
                m_collector.refuse(line, fmt::format("The header names the {} column twice.", Named[k]));
        }
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
    m_collector.add(line, fields[m_at[0]], fields[m_at[1]], fields[m_at[2]]);
}

} // namespace NameList::Columns
