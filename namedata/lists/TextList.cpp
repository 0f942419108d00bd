#include "TextList.h"

#include "Columns.h"

#include <utility>

namespace NameList::Text {
namespace {

// The parts between separators, empty ones kept.
std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

std::string line(const Row &row)
{
    return std::string(row.table->name) + '\t' + std::to_string(row.index) + '\t' + leadingText(row) + '\t'
         + row.name + '\t' + hexColumn(row.field, row.table->nameLength);
}

std::string write(const std::vector<Row> &rows)
{
    std::string text;
    for (const Row &row : rows)
        text += line(row) + '\n';
    return text;
}

Request read(std::string_view text)
{
    Columns::Reader reader(5, "tabs");
    int number = 0;
    for (std::string_view row : split(text, '\n')) {
        if (row.ends_with('\r'))
            row.remove_suffix(1);
        reader.take(++number, split(row, '\t'));
    }
    return std::move(reader.request());
}

} // namespace NameList::Text
