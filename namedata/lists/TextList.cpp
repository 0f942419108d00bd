#include "TextList.h"

#include "Columns.h"


namespace NameList::Text {

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
    return Columns::read(text, '\t');
}

} // namespace NameList::Text
