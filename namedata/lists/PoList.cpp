#include "PoList.h"

#include "Utf8.h"

#include <fmt/format.h>

#include <gettext-po.h>

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <regex>
#include <csetjmp>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace NameList::Po {
namespace {

// A file in memory that the library, which reads and writes only named
// files, can open by a name, and that leaves nothing behind on any end.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("orvane-names-po", MFD_CLOEXEC)) {}
    ~MemoryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

    bool write(std::string_view bytes) const
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, off_t(done));
            if (n < 0 && errno != EINTR)
                return false;
            done += std::size_t(std::max<ssize_t>(n, 0));
        }
        return true;
    }

    bool read(std::string &bytes) const
    {
        bytes.clear();
        char chunk[65536];
        while (true) {
            const ssize_t n = ::pread(m_fd, chunk, sizeof chunk, off_t(bytes.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n == 0;
            bytes.append(chunk, std::size_t(n));
        }
    }

private:
    int m_fd;
};

// What the library reported: the first error and how many there were.
struct Report {
    int errors = 0;
    std::string first;
};

thread_local Report *report = nullptr;
// The library's handler must not return from a fatal error: it jumps back to
// the call, which then fails.
thread_local std::jmp_buf *escape = nullptr;

void note(int severity, std::size_t line, const char *text)
{
    if (severity == PO_SEVERITY_WARNING || report->errors++ > 0)
        return;
    report->first = Utf8::trimmed(text);
    if (line != std::size_t(-1) && line > 0)
        report->first = fmt::format("line {}: {}", line, report->first);
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
        return reported.first;
    return fmt::format("{} (and {} more error(s))", reported.first, reported.errors - 1);
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

// The charset the header declares, or "".
std::string declaredCharset(std::string_view po)
{
    static const std::regex declared("Content-Type:[^\"\\n]*charset=([-A-Za-z0-9_.:]+)", std::regex::icase);
    std::match_results<std::string_view::const_iterator> found;
    return std::regex_search(po.begin(), po.end(), found, declared) ? found[1].str() : std::string();
}

bool isUtf8Name(std::string_view charset)
{
    return charset.empty()
        || std::any_of(std::begin(Utf8Names), std::end(Utf8Names),
                       [&](std::string_view name) { return Utf8::sameWord(charset, name); });
}

// The file as UTF-8, converted from the charset its header declares, which
// then says UTF-8; false, with why, where it cannot be.
bool asUtf8(std::string_view po, std::string &text, std::string &why)
{
    const std::string charset = declaredCharset(po);
    if (isUtf8Name(charset)) {
        text = po;
        if (const int line = Utf8::firstBadLine(po); line > 0) {
            why = fmt::format("line {} is not UTF-8 text", line);
            return false;
        }
        return true;
    }
    const iconv_t convert = ::iconv_open("UTF-8", charset.c_str());
    if (convert == iconv_t(-1)) {
        why = fmt::format("its header declares the charset {}, which this system cannot read", charset);
        return false;
    }
    text.assign(po.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(po.data());
    std::size_t inLeft = po.size();
    char *out = text.data();
    std::size_t outLeft = text.size();
    const bool whole = ::iconv(convert, &in, &inLeft, &out, &outLeft) != std::size_t(-1)
                    && ::iconv(convert, nullptr, nullptr, &out, &outLeft) != std::size_t(-1);
    ::iconv_close(convert);
    if (!whole) {
        const std::string_view read = po.substr(0, po.size() - inLeft);
        why = fmt::format("line {} is not {} text, the charset its header declares",
                          1 + std::count(read.begin(), read.end(), '\n'), charset);
        return false;
    }
    text.resize(text.size() - outLeft);
    const std::size_t at = text.find("charset=" + charset);
    if (at != std::string::npos)
        text.replace(at, 8 + charset.size(), "charset=UTF-8");
    return true;
}

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
    std::string converted, why;
    if (!asUtf8(po, converted, why)) {
        request.unreadable = why;
        return request;
    }
    po = converted;
    Report reported;
    report = &reported;
    const MemoryFile memory;
    const po_file_t file = memory.isOpen() && memory.write(po) ? guardedRead(memory.path().c_str()) : nullptr;
    if (!file || reported.errors > 0) {
        request.unreadable = "not a PO file gettext can read: " + failure(reported, "reading");
        if (file)
            po_file_free(file);
        return request;
    }
    Collector collector(request);
    const po_message_iterator_t messages = po_message_iterator(file, nullptr);
    int position = 0;
    while (const po_message_t message = po_next_message(messages)) {
        const char *context = po_message_msgctxt(message);
        if (po_message_is_obsolete(message) || (!context && *po_message_msgid(message) == '\0'))
            continue;  // the header, and entries kept only as history
        ++position;
        if (po_message_is_fuzzy(message)) {
            ++request.fuzzy;
            continue;
        }
        if (po_message_msgid_plural(message)) {
            collector.refuse(position, "A plural entry names no entry of the image.");
            continue;
        }
        std::string name = po_message_msgstr(message);
        if (name.empty()) {
            ++request.empty;
            continue;
        }
        const std::string_view words = context ? context : "";
        const std::size_t space = words.find(' ');
        if (!context || space == std::string_view::npos || words.find(' ', space + 1) != std::string_view::npos) {
            collector.refuse(position, fmt::format("The msgctxt must name the entry, as in \"characters 0\"; "
                                                   "found {}.",
                                                   context ? "\"" + std::string(context) + '"' : "none"));
            continue;
        }
        collector.add(position, words.substr(0, space), words.substr(space + 1), std::move(name));
    }
    po_message_iterator_free(messages);
    po_file_free(file);
    return request;
}

} // namespace NameList::Po
