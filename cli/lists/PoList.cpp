#include "PoList.h"

#include <QStringTokenizer>

#include <gettext-po.h>

#include <cerrno>
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
    QByteArray path() const { return "/proc/self/fd/" + QByteArray::number(m_fd); }

    bool write(const QByteArray &bytes) const
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(m_fd, bytes.constData() + done, std::size_t(bytes.size() - done), done);
            if (n < 0 && errno != EINTR)
                return false;
            done += std::max<ssize_t>(n, 0);
        }
        return true;
    }

    bool read(QByteArray &bytes) const
    {
        bytes.clear();
        char chunk[65536];
        while (true) {
            const ssize_t n = ::pread(m_fd, chunk, sizeof chunk, bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n == 0;
            bytes.append(chunk, n);
        }
    }

private:
    int m_fd;
};

// What the library reported: the first error and how many there were.
struct Report {
    int errors = 0;
    QString first;
};

thread_local Report *report = nullptr;
// The library's handler must not return from a fatal error: it jumps back to
// the call, which then fails.
thread_local std::jmp_buf *escape = nullptr;

void note(int severity, std::size_t line, const char *text)
{
    if (severity == PO_SEVERITY_WARNING || report->errors++ > 0)
        return;
    report->first = QString::fromUtf8(text).trimmed();
    if (line != std::size_t(-1) && line > 0)
        report->first = QStringLiteral("line %1: %2").arg(line).arg(report->first);
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

QString failure(const Report &reported, const char *call)
{
    if (reported.errors == 0)
        return QStringLiteral("%1: %2").arg(QLatin1String(call), QString::fromLocal8Bit(std::strerror(errno)));
    if (reported.errors == 1)
        return reported.first;
    return QStringLiteral("%1 (and %2 more error(s))").arg(reported.first).arg(reported.errors - 1);
}

po_message_t entry(const QString &context, const QString &id, const QString &str, const QString &comment)
{
    const po_message_t made = po_message_create();
    if (!context.isNull())
        po_message_set_msgctxt(made, context.toUtf8().constData());
    po_message_set_msgid(made, id.toUtf8().constData());
    po_message_set_msgstr(made, str.toUtf8().constData());
    if (!comment.isEmpty())
        po_message_set_extracted_comments(made, comment.toUtf8().constData());
    return made;
}

// The flag max-length:N, which translation platforms hold a translation to,
// before each entry's msgctxt line. The library of this gettext has no call
// for flags other than its own; msgfmt --check takes the line.
QByteArray withLengths(const QByteArray &po, const std::vector<int> &lengths)
{
    QByteArray flagged;
    std::size_t next = 0;
    const QList<QByteArray> lines = po.split('\n');
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (lines.at(k).startsWith("msgctxt \"") && next < lengths.size())
            flagged += "#, max-length:" + QByteArray::number(lengths[next++]) + '\n';
        flagged += lines.at(k);
        if (k + 1 < lines.size())
            flagged += '\n';
    }
    return flagged;
}

} // namespace

bool write(const std::vector<Row> &rows, const QString &project, const QString &generator, QByteArray &po,
           QString &why)
{
    const po_file_t file = po_file_create();
    const po_message_iterator_t at = po_message_iterator(file, nullptr);
    po_message_insert(at, entry({}, {}, QStringLiteral("Project-Id-Version: %1\n"
                                                         "Report-Msgid-Bugs-To: \n"
                                                         "POT-Creation-Date: \n"
                                                         "PO-Revision-Date: \n"
                                                         "Last-Translator: \n"
                                                         "Language-Team: \n"
                                                         "Language: \n"
                                                         "MIME-Version: 1.0\n"
                                                         "Content-Type: text/plain; charset=UTF-8\n"
                                                         "Content-Transfer-Encoding: 8bit\n"
                                                         "X-Generator: %2\n")
                                          .arg(project, generator),
                                  {}));
    std::vector<int> lengths;
    for (const Row &row : rows) {
        if (row.field.size() < row.table->nameLength)
            continue;
        po_message_insert(at, entry(entryLabel(*row.table, row.index), row.name, {},
                                      QStringLiteral("%1 bytes at 0x%2; one per character, … or <$XX>")
                                          .arg(row.table->nameLength)
                                          .arg(QString::number(row.offset, 16).toUpper())));
        lengths.push_back(row.table->nameLength);
    }
    po_message_iterator_free(at);

    Report reported;
    report = &reported;
    const MemoryFile memory;
    const bool written = memory.isOpen() && guardedWrite(file, memory.path().constData()) && memory.read(po);
    po_file_free(file);
    if (!written) {
        why = failure(reported, "writing the PO file");
        return false;
    }
    po = withLengths(po, lengths);
    return true;
}

Request read(const QByteArray &po)
{
    Request request;
    request.byPosition = true;
    Report reported;
    report = &reported;
    const MemoryFile memory;
    const po_file_t file = memory.isOpen() && memory.write(po) ? guardedRead(memory.path().constData()) : nullptr;
    if (!file || reported.errors > 0) {
        request.unreadable = QStringLiteral("not a PO file gettext can read: ") + failure(reported, "reading");
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
            collector.refuse(position, QStringLiteral("A plural entry names no entry of the image."));
            continue;
        }
        const QString name = QString::fromUtf8(po_message_msgstr(message));
        if (name.isEmpty())
            continue;
        const QStringList words = context ? QString::fromUtf8(context).split(u' ') : QStringList();
        if (words.size() != 2) {
            collector.refuse(position, QStringLiteral("The msgctxt must name the entry, as in \"characters 0\"; "
                                                      "found %1.")
                                           .arg(context ? u'"' + QString::fromUtf8(context) + u'"'
                                                        : QStringLiteral("none")));
            continue;
        }
        collector.add(position, words.at(0), words.at(1), name);
    }
    po_message_iterator_free(messages);
    po_file_free(file);
    return request;
}

bool looksLikePo(QStringView text)
{
    for (QStringView line : qTokenize(text, u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        return line.startsWith(QLatin1String("msgctxt")) || line.startsWith(QLatin1String("msgid"));
    }
    return false;
}

} // namespace NameList::Po
