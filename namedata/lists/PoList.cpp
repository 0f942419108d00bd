#include "PoList.h"

#include "MemoryFile.h"
#include "PoChunks.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <gettext-po.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <iconv.h>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <sys/mman.h>
#include <unistd.h>

namespace NameList::Po {
namespace {

// What the library reported: the first error and how many there were.
struct Report {
    int errors = 0;
    std::string said;
    // A piece of a file is read after the file's header: its line 1 + header
    // is the file's line first.
    std::size_t header = 0;
    std::size_t first = 1;
};

thread_local Report *report = nullptr;
// The library's handler must not return from a fatal error: it jumps back to
// the call, which then fails.
thread_local std::jmp_buf *escape = nullptr;

void note(int severity, std::size_t line, const char *text)
{
    if (severity == PO_SEVERITY_WARNING || report->errors++ > 0)
        return;
    report->said = Utf8::trimmed(text);
    if (line != std::size_t(-1) && line > 0)
        report->said = fmt::format("line {}: {}", line > report->header ? line - report->header + report->first - 1 : line,
                                   report->said);
}

void xerror(int severity, po_message_t, const char *, std::size_t line, std::size_t, int, const char *text)
{
    note(severity, line, text);
    if (severity == PO_SEVERITY_FATAL_ERROR)
        std::longjmp(*escape, 1);
}

void xerror2(int severity, po_message_t, const char *, std::size_t line, std::size_t, int, const char *text,
             po_message_t, const char *, std::size_t, std::size_t, int, const char *)
{
    note(severity, line, text);
    if (severity == PO_SEVERITY_FATAL_ERROR)
        std::longjmp(*escape, 1);
}

const po_xerror_handler handler = {xerror, xerror2};

// The calls into the library, with nothing between setjmp and them that a
// jump back could leave unfinished.
po_file_t guardedRead(const char *path)
{
    std::jmp_buf buffer;
    escape = &buffer;
    if (setjmp(buffer) != 0)
        return nullptr;
    return po_file_read(path, &handler);
}

bool guardedWrite(po_file_t file, const char *path)
{
    std::jmp_buf buffer;
    escape = &buffer;
    if (setjmp(buffer) != 0)
        return false;
    return po_file_write(file, path, &handler) != nullptr;
}

std::string failure(const Report &reported, const char *call)
{
    if (reported.errors == 0)
        return fmt::format("{}: {}", call, std::strerror(errno));
    if (reported.errors == 1)
        return reported.said;
    return fmt::format("{} (and {} more error(s))", reported.said, reported.errors - 1);
}

po_message_t entry(const std::string *context, const std::string &id, const std::string &str,
                   const std::string &comment)
{
    const po_message_t made = po_message_create();
    if (context)
        po_message_set_msgctxt(made, context->c_str());
    po_message_set_msgid(made, id.c_str());
    po_message_set_msgstr(made, str.c_str());
    if (!comment.empty())
        po_message_set_extracted_comments(made, comment.c_str());
    return made;
}

// The flag max-length:N, which translation platforms hold a translation to,
// before each entry's msgctxt line. The library of this gettext has no call
// for flags other than its own; msgfmt --check takes the line.
std::string withLengths(std::string_view po, const std::vector<int> &lengths)
{
    std::string flagged;
    std::size_t next = 0;
    for (std::size_t start = 0; start <= po.size();) {
        const std::size_t end = std::min(po.find('\n', start), po.size());
        const std::string_view line = po.substr(start, end - start);
        if (line.starts_with("msgctxt \"") && next < lengths.size())
            flagged += fmt::format("#, max-length:{}\n", lengths[next++]);
        flagged += line;
        if (end < po.size())
            flagged += '\n';
        start = end + 1;
    }
    return flagged;
}

// What a PO header calls a charset that UTF-8 reads as it is ("charset" is
// the placeholder of an unfilled template).
constexpr std::string_view Utf8Names[] = {"utf-8", "utf8", "charset", "ascii", "us-ascii"};

// The charset the header's Content-Type field declares, as gettext finds
// it, or "".
std::string declaredCharset(po_file_t file)
{
    const char *header = po_file_domain_header(file, nullptr);
    char *field = header ? po_header_field(header, "Content-Type") : nullptr;
    if (!field)
        return {};
    const std::string_view type = field;
    std::string charset;
    if (const std::size_t at = type.find("charset="); at != std::string_view::npos) {
        const std::string_view rest = type.substr(at + 8);
        // The characters of a charset's name, so that it can be declared again.
        const auto named = std::find_if_not(rest.begin(), rest.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-_.:+").find(c) != std::string_view::npos;
        });
        charset = std::string(rest.begin(), named);
    }
    std::free(field);
    return charset;
}

bool isUtf8Name(std::string_view charset)
{
    return charset.empty()
        || std::any_of(std::begin(Utf8Names), std::end(Utf8Names),
                       [&](std::string_view name) { return Utf8::sameWord(charset, name); });
}

// Turns the strings gettext read, in the charset the header declares, into
// UTF-8; where that is UTF-8 already, only checks them.
class Decoder {
public:
    explicit Decoder(std::string charset) : m_charset(std::move(charset))
    {
        if (!isUtf8Name(m_charset))
            m_convert = ::iconv_open("UTF-8", m_charset.c_str());
    }
    ~Decoder()
    {
        if (m_convert != iconv_t(-1))
            ::iconv_close(m_convert);
    }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Why the file cannot be read in its charset, or "".
    std::string refusal(std::string_view po) const
    {
        if (isUtf8Name(m_charset)) {
            if (const int line = Utf8::firstBadLine(po); line > 0)
                return fmt::format("line {} is not UTF-8 text", line);
            return {};
        }
        if (m_convert == iconv_t(-1))
            return fmt::format("its header declares the charset {}, which this system cannot read", m_charset);
        return {};
    }

    // The text as UTF-8; false where it is not text of the charset.
    bool decode(const char *text, std::string &decoded) const
    {
        decoded = text;
        if (isUtf8Name(m_charset))
            return true;
        const std::string source = decoded;
        decoded.assign(source.size() * 4 + 16, '\0');
        char *in = const_cast<char *>(source.data());
        std::size_t inLeft = source.size();
        char *out = decoded.data();
        std::size_t outLeft = decoded.size();
        ::iconv(m_convert, nullptr, nullptr, nullptr, nullptr);
        const bool whole = ::iconv(m_convert, &in, &inLeft, &out, &outLeft) != std::size_t(-1)
                        && ::iconv(m_convert, nullptr, nullptr, &out, &outLeft) != std::size_t(-1);
        decoded.resize(decoded.size() - outLeft);
        return whole;
    }

    const std::string &charset() const { return m_charset; }

private:
    std::string m_charset;
    iconv_t m_convert = iconv_t(-1);
};

// A file is read in pieces of about this size, each after the header, so
// that the library holds the entries of one piece at a time.
constexpr std::size_t PieceSize = std::size_t(1) << 20;

// The entries of one piece, taken in order; false where the piece cannot be
// read, with why set.
class PieceReader {
public:
    PieceReader(std::string_view po, Request &request) : m_po(po), m_request(request), m_collector(request) {}

    bool read(std::size_t start, std::size_t end, std::string &why)
    {
        std::string text;
        if (start > 0)
            text = std::string(m_header) + std::string(m_po.substr(start, end - start));
        const std::string_view piece = start > 0 ? std::string_view(text) : m_po.substr(start, end - start);
        m_firstLine += std::size_t(std::count(m_po.begin() + std::ptrdiff_t(m_counted), m_po.begin() + std::ptrdiff_t(start), '\n'));
        m_counted = start;
        Report reported;
        reported.header = start > 0 ? std::size_t(std::count(m_header.begin(), m_header.end(), '\n')) : 0;
        reported.first = m_firstLine;
        report = &reported;
        const MemoryFile memory;
        const po_file_t file = memory.isOpen() && memory.write(piece) ? guardedRead(memory.path().c_str()) : nullptr;
        if (start == 0) {
            // gettext reads the file in the charset its header declares;
            // the names are then turned into UTF-8. The other pieces are
            // read after a header that declares it too.
            m_decoder.emplace(file ? declaredCharset(file) : std::string());
            why = file ? m_decoder->refusal(m_po) : std::string();
            if (!m_decoder->charset().empty())
                m_header = fmt::format("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset={}\\n\"\n\n",
                                       m_decoder->charset());
        }
        if (why.empty() && (!file || reported.errors > 0))
            why = "not a PO file gettext can read: " + failure(reported, "reading");
        if (why.empty())
            take(file, why);
        if (file)
            po_file_free(file);
        return why.empty();
    }

private:
    void take(po_file_t file, std::string &why)
    {
        const po_message_iterator_t messages = po_message_iterator(file, nullptr);
        std::string name, context;
        while (const po_message_t message = po_next_message(messages)) {
            const char *written = po_message_msgctxt(message);
            const bool header = !written && *po_message_msgid(message) == '\0';
            if (po_message_is_obsolete(message) || header)
                continue;  // the header, and entries kept only as history
            const int position = ++m_position;
            if (po_message_is_fuzzy(message)) {
                ++m_request.fuzzy;
                continue;
            }
            if (po_message_msgid_plural(message)) {
                m_collector.refuse(position, "A plural entry names no entry of the image.");
                continue;
            }
            if (!m_decoder->decode(po_message_msgstr(message), name)
                || !m_decoder->decode(written ? written : "", context)) {
                why = fmt::format("entry {} is not {} text, the charset its header declares", position,
                                  m_decoder->charset());
                break;
            }
            if (name.empty()) {
                ++m_request.empty;
                continue;
            }
            const std::string_view words = context;
            const std::size_t space = words.find(' ');
            if (!written || space == std::string_view::npos || words.find(' ', space + 1) != std::string_view::npos) {
                m_collector.refuse(position, fmt::format("The msgctxt must name the entry, as in \"characters 0\"; "
                                                         "found {}.",
                                                         written ? "\"" + context + '"' : "none"));
                continue;
            }
            m_collector.add(position, words.substr(0, space), words.substr(space + 1), std::move(name));
        }
        po_message_iterator_free(messages);
    }

    std::string_view m_po;
    Request &m_request;
    Collector m_collector;
    std::optional<Decoder> m_decoder;
    std::string m_header;  // read before each piece but the first: the charset the file declares
    int m_position = 0;
    std::size_t m_firstLine = 1, m_counted = 0;
};

} // namespace

bool available()
{
    return true;
}

bool write(const std::vector<Row> &rows, const std::string &project, const std::string &generator,
           std::string &po, std::string &why)
{
    const po_file_t file = po_file_create();
    const po_message_iterator_t at = po_message_iterator(file, nullptr);
    po_message_insert(at, entry(nullptr, {},
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
                                            project, generator),
                                {}));
    std::vector<int> lengths;
    for (const Row &row : rows) {
        if (std::int64_t(row.field.size()) < row.table->nameLength)
            continue;
        const std::string context = entryLabel(*row.table, row.index);
        // The name without its padding, which translators' checks take for
        // stray blanks; the comment keeps the field's length and bytes.
        po_message_insert(at, entry(&context, std::string(withoutTrailingBlanks(row.name)), {},
                                    fmt::format("{} bytes at 0x{:X}: {}; one per character, \u2026 or <$XX>",
                                                row.table->nameLength, row.offset,
                                                hexColumn(row.field, row.table->nameLength))));
        lengths.push_back(row.table->nameLength);
    }
    po_message_iterator_free(at);

    Report reported;
    report = &reported;
    const MemoryFile memory;
    std::string written;
    const bool ok = memory.isOpen() && guardedWrite(file, memory.path().c_str()) && memory.read(written);
    po_file_free(file);
    if (!ok) {
        why = failure(reported, "writing the PO file");
        return false;
    }
    po = withLengths(written, lengths);
    return true;
}

Request read(std::string_view po)
{
    Request request;
    request.byPosition = true;
    PieceReader reader(po, request);
    const std::vector<std::size_t> starts = pieces(po, PieceSize);
    std::string why;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (!reader.read(starts[k], k + 1 < starts.size() ? starts[k + 1] : po.size(), why)) {
            Request unreadable;
            unreadable.unreadable = why;
            return unreadable;
        }
    }
    return request;
}

} // namespace NameList::Po
