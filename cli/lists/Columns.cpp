#include "Columns.h"

#include <utility>

namespace NameList::Columns {
namespace {

constexpr std::array<const char *, 3> Named = {"category", "index", "name"};

qsizetype columnNamed(const QStringList &fields, const char *name)
{
    for (qsizetype k = 0; k < fields.size(); ++k)
        if (fields.at(k).trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return k;
    return -1;
}

} // namespace

bool isHeader(const QStringList &fields)
{
    for (const char *name : Named)
        if (columnNamed(fields, name) < 0)
            return false;
    return true;
}

void Reader::take(int line, const QStringList &fields)
{
    if (fields.isEmpty() || (fields.size() == 1 && fields.first().isEmpty()) || fields.first().startsWith(u'#'))
        return;
    if (std::exchange(m_first, false) && isHeader(fields)) {
        m_header = true;
        for (std::size_t k = 0; k < Named.size(); ++k) {
            m_at[k] = columnNamed(fields, Named[k]);
            if (columnNamed(fields.mid(m_at[k] + 1), Named[k]) >= 0)
                m_collector.refuse(line, QStringLiteral("The header names the %1 column twice.")
                                             .arg(QLatin1String(Named[k])));
        }
        return;
    }
    const qsizetype needed = std::max({m_at[0], m_at[1], m_at[2]}) + 1;
    if (fields.size() < needed || (!m_header && fields.size() > m_widest)) {
        m_collector.refuse(line, m_header ? QStringLiteral("Expected the %1 columns the header names; found %2 "
                                                           "column(s).")
                                                .arg(needed)
                                                .arg(fields.size())
                                          : QStringLiteral("Expected category, index, leading byte, name and "
                                                           "bytes separated by %1; found %2 column(s).")
                                                .arg(m_separator)
                                                .arg(fields.size()));
        return;
    }
    m_collector.add(line, fields.at(m_at[0]), fields.at(m_at[1]), fields.at(m_at[2]));
}

} // namespace NameList::Columns
