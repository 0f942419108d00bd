// Part of the names: those of some categories, and those an image changed
// from its original.
#include "NameList.h"

#include "Image.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>

namespace NameList {

using NameTables::NameTable;

std::vector<const NameTable *> tablesNamed(std::string_view words, std::string &why)
{
    std::vector<const NameTable *> named;
    for (std::size_t start = 0; start <= words.size();) {
        const std::size_t comma = std::min(words.find(',', start), words.size());
        const std::string_view word = Utf8::trimmed(words.substr(start, comma - start));
        start = comma + 1;
        const NameTable *table = tableNamed(word);
        if (!table) {
            why = fmt::format("\"{}\" is no category; give characters, monsters, magic or items, separated by "
                              "commas.",
                              word);
            return {};
        }
        if (std::find(named.begin(), named.end(), table) == named.end())
            named.push_back(table);
    }
    std::sort(named.begin(), named.end());
    return named;
}

std::vector<Row> onlyIn(std::vector<Row> rows, const std::vector<const NameTable *> &tables)
{
    if (tables.empty())
        return rows;
    std::erase_if(rows, [&](const Row &row) {
        return std::find(tables.begin(), tables.end(), row.table) == tables.end();
    });
    return rows;
}

std::vector<Row> changedFrom(const Image &original, const Image &image, const CharTable &characters)
{
    const std::vector<Row> before = dump(original, characters);
    std::vector<Row> rows = dump(image, characters);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (rows[k].field == before[k].field)
            continue;
        rows[k].field = before[k].field;
        if (kept != k)
            rows[kept] = std::move(rows[k]);
        ++kept;
    }
    rows.resize(kept);
    return rows;
}

} // namespace NameList
