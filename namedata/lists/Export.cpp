#include "Export.h"

namespace NameList {

bool takesByteOrderMark(const Form &form)
{
    return form.keyword == "csv" || form.keyword == "lines";
}

std::vector<Row> listedRows(const Image &image, const ListChoice &choice)
{
    const CharTable &characters = choice.characters ? *choice.characters : CharTable::game();
    return onlyIn(choice.changedFrom ? changedFrom(*choice.changedFrom, image, characters) : dump(image, characters),
                  choice.only);
}

Written writeList(const std::vector<Row> &rows, const ListChoice &choice, const Origin &origin)
{
    Written written = choice.form->write(rows, origin);
    if (written.made && choice.byteOrderMark && takesByteOrderMark(*choice.form))
        written.text.insert(0, "\xEF\xBB\xBF");
    return written;
}

} // namespace NameList
