// Reading a PO file: a lexer of its lines as gettext's tools read them, and
// the entries it finds taken as a list's entries, one at a time, so that a
// long file holds no more than its entries' names.
#include "PoList.h"

#include "HexDigit.h"
#include "PoCharset.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <optional>
#include <utility>

namespace NameList::Po {
namespace {

// What a syntax error says, and the line it is on.
struct SyntaxError {
    int line;
    std::string what;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool isKeywordCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '['
        || c == ']';
}

constexpr std::string_view EndOfLine = "end-of-line within string";

// The quoted string at line[at], its escapes undone, appended to text; at
// moves past its closing quote. Empty where it is read, else what is wrong.
std::string readString(std::string_view line, std::size_t &at, std::string &text)
{
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            return {};
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++at == line.size())
            break;
        c = line[at];
        switch (c) {
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'b': text += '\b'; break;
        case 'r': text += '\r'; break;
        case 'f': text += '\f'; break;
        case 'v': text += '\v'; break;
        case 'a': text += '\a'; break;
        case '\\': case '"': case '\'': case '?': text += c; break;
        case 'x': {
            unsigned value = 0;
            std::size_t digits = 0;
            while (at + 1 < line.size() && hexDigit(line[at + 1]) >= 0) {
                value = (value * 16 + unsigned(hexDigit(line[++at]))) & 0xFF;
                ++digits;
            }
            if (digits == 0)
                return "invalid control sequence";
            text += char(value);
            break;
        }
        default:
            if (c < '0' || c > '7')
                return "invalid control sequence";
            unsigned value = unsigned(c - '0');
            for (int more = 0; more < 2 && at + 1 < line.size() && line[at + 1] >= '0' && line[at + 1] <= '7'; ++more)
                value = value * 8 + unsigned(line[++at] - '0');
            text += char(value & 0xFF);
        }
    }
    return std::string(EndOfLine);
}

// One entry as the file gives it, before it is looked at.
struct Entry {
    bool obsolete = false;
    bool fuzzy = false;
    std::string extracted;  // the first "#." comment
    std::optional<std::string> context;
    std::string id;
    bool plural = false;
    std::optional<std::string> str;  // msgstr, or msgstr[0] of a plural entry
};

// What the last keyword was, which says what may follow it.
enum class Last { Nothing, Context, Id, Plural, Str };

class Reader {
public:
    Reader(std::string_view po, Request &request) : m_po(po), m_request(request), m_collector(request) {}

    // Empty where the file is read, else why it is not.
    std::string read()
    {
        int number = 0;
        for (std::size_t start = 0; start < m_po.size() && m_why.empty();) {
            const std::size_t end = std::min(m_po.find('\n', start), m_po.size());
            line(m_po.substr(start, end - start), ++number);
            start = end + 1;
        }
        if (m_why.empty() && (m_last == Last::Id || m_last == Last::Plural))
            syntax(m_idLine, "missing 'msgstr' section");
        else if (m_why.empty() && m_last == Last::Context)
            syntax(number, "syntax error");
        if (m_why.empty())
            finish();
        if (!m_why.empty())
            return m_why;
        if (!m_charset)
            charsetOf({});
        return m_why;
    }

private:
    void syntax(int number, std::string_view what)
    {
        m_why = fmt::format("not a PO file gettext can read: line {}: {}", number, what);
    }

    void line(std::string_view text, int number)
    {
        std::size_t at = 0;
        while (at < text.size() && isBlank(text[at]))
            ++at;
        bool obsolete = false;
        if (text.substr(at).starts_with("#~")) {
            // An obsolete entry's lines, lexed as any other's after the mark.
            at += 2;
            if (at < text.size() && text[at] == '|')
                return;  // the previous msgid of an obsolete entry
            obsolete = true;
            while (at < text.size() && isBlank(text[at]))
                ++at;
        }
        if (at == text.size())
            return;
        if (text[at] == '#') {
            comment(text.substr(at));
            return;
        }
        if (text[at] == '"') {
            if (m_last == Last::Nothing) {
                syntax(number, "syntax error");
                return;
            }
            strings(text, at, number, *m_string);
            return;
        }
        std::size_t end = at;
        while (end < text.size() && isKeywordCharacter(text[end]))
            ++end;
        const std::string_view keyword = text.substr(at, end - at);
        if (keyword.empty()) {
            syntax(number, "syntax error");
            return;
        }
        std::string *string = start(keyword, number, obsolete);
        if (!string)
            return;
        while (end < text.size() && isBlank(text[end]))
            ++end;
        if (end == text.size() || text[end] != '"') {
            syntax(number, "syntax error");
            return;
        }
        strings(text, end, number, *string);
    }

    // The strings from line[at] to the end of the line, one after another.
    void strings(std::string_view line, std::size_t at, int number, std::string &text)
    {
        while (at < line.size()) {
            if (isBlank(line[at])) {
                ++at;
            } else if (line[at] != '"') {
                syntax(number, "syntax error");
                return;
            } else if (std::string wrong = readString(line, at, text); !wrong.empty()) {
                // gettext finds the end of the line once past it.
                syntax(wrong == EndOfLine ? number + 1 : number, wrong);
                return;
            }
        }
        m_string = &text;
    }

    // The string a keyword starts, or nullptr where it may not come here.
    std::string *start(std::string_view keyword, int number, bool obsolete)
    {
        const bool afterStr = m_last == Last::Str;
        if (keyword == "msgctxt" || keyword == "msgid") {
            const bool context = keyword == "msgctxt";
            if (afterStr) {
                finish();
                if (!m_why.empty())
                    return nullptr;
            } else if (m_last == Last::Id || m_last == Last::Plural) {
                syntax(m_idLine, "missing 'msgstr' section");
                return nullptr;
            } else if (m_last == Last::Context && context) {
                syntax(number, "syntax error");
                return nullptr;
            }
            if (!context)
                m_idLine = number;
            m_entry.obsolete = obsolete;
            m_last = context ? Last::Context : Last::Id;
            if (context)
                return &m_entry.context.emplace();
            return &m_entry.id;
        }
        if (keyword == "msgid_plural" && m_last == Last::Id) {
            m_last = Last::Plural;
            m_entry.plural = true;
            m_plural.clear();
            return &m_plural;
        }
        if (keyword == "msgstr" && m_last == Last::Id) {
            m_last = Last::Str;
            return &m_entry.str.emplace();
        }
        if (keyword.starts_with("msgstr[") && keyword.ends_with(']')
            && (m_last == Last::Plural || (m_last == Last::Str && m_entry.plural))) {
            m_last = Last::Str;
            if (keyword == "msgstr[0]")
                return &m_entry.str.emplace();
            m_other.clear();
            return &m_other;
        }
        const bool known = keyword == "msgctxt" || keyword == "msgid" || keyword == "msgid_plural"
                        || keyword == "msgstr" || (keyword.starts_with("msgstr[") && keyword.ends_with(']'));
        if (known)
            syntax(number, "syntax error");
        else
            syntax(number, fmt::format("keyword \"{}\" unknown", keyword));
        return nullptr;
    }

    void comment(std::string_view text)
    {
        // A comment after an entry's msgstr starts the next entry.
        if (m_last == Last::Str) {
            finish();
            if (!m_why.empty())
                return;
        }
        if (text.starts_with("#,")) {
            for (std::size_t start = 2; start <= text.size();) {
                const std::size_t end = std::min(text.find(',', start), text.size());
                if (Utf8::trimmed(text.substr(start, end - start)) == "fuzzy")
                    m_entry.fuzzy = true;
                start = end + 1;
            }
        } else if (text.starts_with("#.") && m_entry.extracted.empty()) {
            m_entry.extracted = Utf8::trimmed(text.substr(2));
        }
    }

    void charsetOf(std::string_view header)
    {
        const std::string name = declaredCharset(header);
        m_charset = charsetNamed(name);
        if (!m_charset) {
            m_why = fmt::format("its header declares the charset {}, which is not one read here ({}); "
                                "msgconv -t UTF-8 converts it",
                                name, charsetsRead());
        } else if (*m_charset == Charset::Utf8) {
            if (const int line = Utf8::firstBadLine(m_po); line > 0)
                m_why = fmt::format("line {} is not UTF-8 text", line);
        }
    }

    // Takes the entry read, and makes ready for the next.
    void finish()
    {
        Entry entry = std::exchange(m_entry, {});
        m_last = Last::Nothing;
        m_string = nullptr;
        if (entry.obsolete || !entry.str)
            return;
        // The header, the entry without msgctxt whose msgid is empty: the
        // charset of every entry after it.
        if (!entry.context && entry.id.empty()) {
            if (!m_charset)
                charsetOf(*entry.str);
            return;
        }
        if (!m_charset && (charsetOf({}), !m_why.empty()))
            return;
        const int position = ++m_position;
        if (entry.fuzzy) {
            ++m_request.fuzzy;
            return;
        }
        if (entry.plural) {
            m_collector.refuse(position, "A plural entry names no entry of the image.");
            return;
        }
        std::string name, context;
        if (!toUtf8(*m_charset, *entry.str, name) || !toUtf8(*m_charset, entry.context.value_or(""), context)) {
            m_why = fmt::format("entry {} is not {} text, the charset its header declares", position,
                                charsetName());
            return;
        }
        if (name.empty()) {
            ++m_request.empty;
            return;
        }
        const std::string_view words = context;
        const std::size_t space = words.find(' ');
        if (!entry.context || space == std::string_view::npos || words.find(' ', space + 1) != std::string_view::npos) {
            m_collector.refuse(position, fmt::format("The msgctxt must name the entry, as in \"characters 0\"; "
                                                     "found {}.",
                                                     entry.context ? "\"" + context + '"' : "none"));
            return;
        }
        m_collector.add(position, words.substr(0, space), words.substr(space + 1), std::move(name),
                        baseOf(entry.extracted));
    }

    std::string_view charsetName() const
    {
        switch (*m_charset) {
        case Charset::Latin1: return "ISO-8859-1";
        case Charset::Latin9: return "ISO-8859-15";
        case Charset::Windows1252: return "Windows-1252";
        default: return "UTF-8";
        }
    }

    // The field's bytes when the list was made, from the comment dump
    // writes: "6 bytes at 0x47AC0: 879EABA8FFFF; ...".
    static std::string_view baseOf(std::string_view comment)
    {
        const std::size_t at = comment.find(": ");
        if (at != std::string_view::npos && comment.find(" bytes at 0x") < at) {
            const std::string_view rest = comment.substr(at + 2);
            return rest.substr(0, rest.find(';'));
        }
        return {};
    }

    std::string_view m_po;
    Request &m_request;
    Collector m_collector;
    std::optional<Charset> m_charset;  // once the header, or the first entry, is read
    Entry m_entry;
    Last m_last = Last::Nothing;
    std::string *m_string = nullptr;  // the string a line of only a string goes on with
    std::string m_plural, m_other;    // msgid_plural, and msgstr[N] past the first
    int m_position = 0;
    int m_idLine = 0;  // the line of the entry's msgid, where a missing msgstr is reported
    std::string m_why;
};

} // namespace

Request read(std::string_view po)
{
    Request request;
    request.byPosition = true;
    Reader reader(po, request);
    if (std::string why = reader.read(); !why.empty()) {
        Request unreadable;
        unreadable.unreadable = std::move(why);
        return unreadable;
    }
    return request;
}

} // namespace NameList::Po
