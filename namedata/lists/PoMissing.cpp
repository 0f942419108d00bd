// PO lists in a build without gettext's library, such as the page's: every
// other form works, and a PO file is refused saying why.
#include "PoList.h"

namespace NameList::Po {
namespace {

const char *const Missing = "this build cannot read or write PO files (it was made without gettext's library)";

} // namespace

bool available()
{
    return false;
}

bool write(const std::vector<Row> &, const std::string &, const std::string &, std::string &, std::string &why)
{
    why = Missing;
    return false;
}

Request read(std::string_view)
{
    Request request;
    request.unreadable = Missing;
    return request;
}

} // namespace NameList::Po
