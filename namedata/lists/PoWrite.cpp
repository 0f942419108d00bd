// Writing a PO file as gettext's own tools write one, byte for byte: their
// escapes, and lines of at most 79 columns wrapped where Unicode's line
// breaking allows it, as far as the characters of a list of names go.
#include "PoList.h"

#include "Utf8.h"

#include <fmt/format.h>

#include <vector>

namespace NameList::Po {
namespace {

constexpr std::size_t PageWidth = 79;

// The classes of Unicode's line breaking that the characters of names, file
// names and headers fall in; every other character is taken as a letter.
enum class Class { Letter, Space, Hyphen, After, Infix, Slash, Exclamation, Close, CloseParen, Open, Quote, Digit, Prefix, Postfix, Ellipsis };

Class classOf(char32_t c)
{
    if (c >= '0' && c <= '9')
        return Class::Digit;
    switch (c) {
    case ' ': return Class::Space;
    case '-': return Class::Hyphen;
    case '|': return Class::After;
    case '.': case ',': case ':': case ';': return Class::Infix;
    case '/': return Class::Slash;
    case '!': case '?': return Class::Exclamation;
    case '}': return Class::Close;
    case ')': case ']': return Class::CloseParen;
    case '(': case '[': case '{': return Class::Open;
    case '"': case '\'': return Class::Quote;
    case '$': case '+': case '\\': return Class::Prefix;
    case '%': return Class::Postfix;
    case U'\u2026': return Class::Ellipsis;
    default: return Class::Letter;
    }
}

// Whether a line may break before a character of class next, after one of
// class before, the last that is not a blank being beforeBlanks.
bool mayBreak(Class before, Class beforeBlanks, Class next)
{
    using enum Class;
    if (next == Space || next == Close || next == CloseParen || next == Exclamation || next == Infix || next == Slash)
        return false;
    if (before == Space)
        return beforeBlanks != Open && !(beforeBlanks == Quote && next == Open);
    if (before == Open || before == Quote || next == Quote || next == Hyphen || next == After)
        return false;
    if (next == Ellipsis)
        return false;
    const auto alnum = [](Class c) { return c == Letter || c == Digit; };
    const auto affix = [](Class c) { return c == Prefix || c == Postfix; };
    // Letters, digits and what stands before or after a number hold
    // together, but two of the latter do not.
    if ((alnum(before) || affix(before)) && (alnum(next) || next == Open))
        return false;
    if (alnum(before) && affix(next))
        return false;
    if ((before == Hyphen || before == Infix || before == Slash) && next == Digit)
        return false;
    if ((before == CloseParen && alnum(next)) || ((before == Close || before == CloseParen) && affix(next)))
        return false;
    return true;
}

// A string's text escaped as gettext writes it, each character with whether
// a line may break before it.
struct Escaped {
    std::string text;
    std::vector<std::size_t> starts;  // where each character starts in text
    std::vector<bool> breakable;
};

Escaped escaped(std::string_view value)
{
    Escaped out;
    Class before = Class::Letter, beforeBlanks = Class::Letter;
    for (std::size_t at = 0; at < value.size();) {
        const std::size_t from = at;
        const char32_t c = Utf8::next(value, at);
        constexpr std::string_view Plain = "\a\b\f\n\r\t\v\\\"", Written = "abfnrtv\\\"";
        const std::size_t escape = c < 0x80 ? Plain.find(char(c)) : std::string_view::npos;
        // An escape is broken before as its backslash is, never inside.
        const Class cls = escape != std::string_view::npos ? Class::Prefix : classOf(c);
        // Nor before the line break that ends a line of the value.
        const bool lastBreak = c == '\n' && at == value.size();
        out.breakable.push_back(from > 0 && !lastBreak && mayBreak(before, beforeBlanks, cls));
        out.starts.push_back(out.text.size());
        if (escape != std::string_view::npos) {
            out.text += '\\';
            out.text += Written[escape];
        } else {
            out.text.append(value.substr(from, at - from));
        }
        // The second character of an escape is what a break after it sees.
        before = escape != std::string_view::npos ? classOf(char32_t(Written[escape])) : cls;
        if (before != Class::Space)
            beforeBlanks = before;
    }
    return out;
}

// The columns a character takes: one for each, two for an escape.
std::size_t columns(const Escaped &e, std::size_t k)
{
    const std::size_t end = k + 1 < e.starts.size() ? e.starts[k + 1] : e.text.size();
    const std::string_view text = std::string_view(e.text).substr(e.starts[k], end - e.starts[k]);
    return text.starts_with('\\') ? 2 : 1;
}

// Where the lines of a string break: greedy, at the last place before the
// width is passed; a piece with no place to break in stays whole.
std::vector<std::size_t> breaks(const Escaped &e, std::size_t startColumn, std::size_t width)
{
    std::vector<std::size_t> at;
    std::size_t column = startColumn, piece = 0, last = 0;
    bool havePlace = false;
    for (std::size_t k = 0; k < e.starts.size(); ++k) {
        if (e.breakable[k]) {
            if (havePlace && column + piece > width) {
                at.push_back(last);
                column = 0;
            }
            column += piece;
            piece = 0;
            last = k;
            havePlace = true;
        }
        piece += columns(e, k);
    }
    if (havePlace && column + piece > width)
        at.push_back(last);
    return at;
}

// keyword "value", with the value cut into a line for each of its own lines
// and wrapped as gettext wraps it.
void writeString(std::string &po, std::string_view keyword, std::string_view value)
{
    std::vector<std::string_view> portions;
    for (std::size_t start = 0; start < value.size();) {
        const std::size_t end = std::min(value.find('\n', start), value.size() - 1) + 1;
        portions.push_back(value.substr(start, end - start));
        start = end;
    }
    if (portions.empty())
        portions.push_back({});
    // The quotes take a column each; the first line starts after the keyword.
    const std::size_t width = PageWidth - 2;
    bool firstLine = true;
    for (std::size_t p = 0; p < portions.size(); ++p) {
        const Escaped e = escaped(portions[p]);
        if (firstLine) {
            const std::size_t start = keyword.size() + 1;
            if (!e.text.empty() && (p + 1 < portions.size() || !breaks(e, start, width).empty())) {
                po += fmt::format("{} \"\"\n", keyword);
            } else {
                po += fmt::format("{} \"{}\"\n", keyword, e.text);
                firstLine = false;
                continue;
            }
            firstLine = false;
        }
        std::size_t from = 0;
        for (const std::size_t k : breaks(e, 0, width)) {
            po += '"' + e.text.substr(from, e.starts[k] - from) + "\"\n";
            from = e.starts[k];
        }
        po += '"' + e.text.substr(from) + "\"\n";
    }
}

} // namespace

std::string write(const std::vector<Row> &rows, const std::string &project, const std::string &generator)
{
    std::string po;
    writeString(po, "msgid", "");
    writeString(po, "msgstr",
                fmt::format("Project-Id-Version: {}\n"
                            "Report-Msgid-Bugs-To: \n"
                            "POT-Creation-Date: \n"
                            "PO-Revision-Date: \n"
                            "Last-Translator: \n"
                            "Language-Team: \n"
                            "Language: \n"
                            "MIME-Version: 1.0\n"
                            "Content-Type: text/plain; charset=UTF-8\n"
                            "Content-Transfer-Encoding: 8bit\n"
                            "X-Generator: {}\n",
                            project, generator));
    for (const Row &row : rows) {
        if (std::int64_t(row.field.size()) < row.table->nameLength)
            continue;
        // The name without its padding, which translators' checks take for
        // stray blanks; the comment keeps the field's length and bytes, and
        // the flag max-length:N is what translation platforms hold a
        // translation to.
        po += fmt::format("\n#. {} bytes at 0x{:X}: {}; one per character, \u2026 or <$XX>\n#, max-length:{}\n",
                          row.table->nameLength, row.offset, hexColumn(row.field, row.table->nameLength),
                          row.table->nameLength);
        writeString(po, "msgctxt", entryLabel(*row.table, row.index));
        writeString(po, "msgid", withoutTrailingBlanks(row.name));
        writeString(po, "msgstr", "");
    }
    return po;
}

} // namespace NameList::Po
