#include "PoChunks.h"

namespace NameList::Po {
namespace {

bool isWordCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '['
        || c == ']';
}

// Calls found(at) for each place an entry starts, past the file's first
// entry, in order. Linear in the file's size.
template <typename Found>
void entryStarts(std::string_view po, Found found)
{
    bool afterMsgstr = false;  // the last keyword was msgstr or msgstr[N]
    std::size_t lineStart = 0;
    bool firstOnLine = true;  // nothing but blanks and an obsolete entry's "#~" yet on this line
    for (std::size_t at = 0; at < po.size();) {
        const char c = po[at];
        if (c == '\n' || c == '\r') {
            lineStart = ++at;
            firstOnLine = true;
        } else if (c == ' ' || c == '\t' || c == '\f' || c == '\v') {
            ++at;
        } else if (c == '#' && at + 1 < po.size() && po[at + 1] == '~') {
            // An obsolete entry's lines are lexed as any other after "#~".
            at += 2;
            if (at < po.size() && po[at] == '|')
                ++at;
        } else if (c == '#') {
            if (afterMsgstr)
                found(firstOnLine ? lineStart : at);
            afterMsgstr = false;
            while (at < po.size() && po[at] != '\n' && po[at] != '\r')
                ++at;
        } else if (c == '"') {
            // A string ends at its closing quote or, as a mistake gettext
            // reports, at the end of its line.
            for (++at; at < po.size() && po[at] != '"' && po[at] != '\n' && po[at] != '\r'; ++at)
                if (po[at] == '\\' && at + 1 < po.size() && po[at + 1] != '\n' && po[at + 1] != '\r')
                    ++at;
            if (at < po.size() && po[at] == '"')
                ++at;
            firstOnLine = false;
        } else if (isWordCharacter(c)) {
            const std::size_t start = at;
            while (at < po.size() && isWordCharacter(po[at]))
                ++at;
            const std::string_view word = po.substr(start, at - start);
            const bool startsEntry = word == "msgctxt" || word == "msgid";
            if (startsEntry && afterMsgstr)
                found(firstOnLine ? lineStart : start);
            if (startsEntry || word == "msgid_plural")
                afterMsgstr = false;
            else if (word.starts_with("msgstr"))
                afterMsgstr = true;
            firstOnLine = false;
        } else {
            ++at;
            firstOnLine = false;
        }
    }
}

} // namespace

std::vector<std::size_t> pieces(std::string_view po, std::size_t size)
{
    std::vector<std::size_t> starts{0};
    entryStarts(po, [&](std::size_t at) {
        if (at - starts.back() >= size)
            starts.push_back(at);
    });
    return starts;
}

} // namespace NameList::Po
