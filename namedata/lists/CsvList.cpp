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
    return Columns::read(text, Columns::separatorOf(text));
}

} // namespace NameList::Csv
