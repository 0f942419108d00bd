// What the page's scripts see of the core: one class, Session, whose calls
// take and give typed values (value objects, vectors of them, strings and
// Uint8Arrays; the rows of a table, many at once, as one JSON text of them:
// RowsText.h), Session.refusal, the page's rule for a file, and the core's
// constants: the categories, the forms of lists, the copier header's
// evidence words and the largest list. web/page/core.js declares the same shapes for the scripts.
#include "Admission.h"
#include "CopierHeader.h"
#include "NameText.h"
#include "ProgramVersion.h"
#include "RomError.h"
#include "RowsText.h"
#include "Session.h"
#include "lists/Forms.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <fmt/format.h>

#include <utility>

namespace {

using emscripten::val;

// A category as the page lays it out.
struct Category {
    std::string word;
    int entries;
    int nameLength;
    bool hasLeadingByte;
};

// A form of list as the page's export offers it.
struct FormInfo {
    std::string name, keyword, ending, mediaType;
};

// The words info's evidence takes, one for each thing that can decide.
struct EvidenceWords {
    std::string option, internalHeader, size, assumed;
};

struct Info {
    std::string name;
    double size;
    bool copierHeader;
    std::string evidence;
    val title = val::null();             // null where the image has none
    val storedChecksum = val::null();    // "0x1234", null where the file ends first
    val storedComplement = val::null();
    std::string computedChecksum;
    bool checksumValid;
};

struct Change {
    std::string category;
    int index;
    std::string before, after, beforeHex, afterHex;
};

struct Preview {
    std::string unreadable;
    std::vector<std::string> problems;
    double problemCount;
    std::vector<std::string> notes;
    std::vector<Change> changes;
    std::vector<std::string> conflicts;
    double conflictCount;
};

struct PatchPreview {
    std::string refusal;
    std::vector<std::string> notes;
    std::vector<Change> changes;
    double otherBytes;
};

struct Patched {
    val bytes = val::null();  // a Uint8Array, null when refused
    std::string error, summary, warning;
};

struct Exported {
    val bytes = val::null();  // a Uint8Array, null when refused
    std::string error;
};

val bytesOut(ByteView bytes)
{
    // A copy that JavaScript owns: a view into the module's memory would be
    // emptied when that memory grows.
    val out = val::global("Uint8Array").new_(bytes.size());
    out.call<void>("set", val(emscripten::typed_memory_view(bytes.size(), bytes.data())));
    return out;
}

// Rows, a list for each table, as the UTF-8 bytes of their JSON text, which
// the page decodes and parses at once: a string crosses from the core byte
// by byte, several times slower than the rows are made in some browsers.
val rowsOut(const std::vector<std::vector<Session::Row>> &tables)
{
    const std::string text = rowsText(tables);
    return bytesOut(ByteView(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
}

Bytes bytesIn(const val &array)
{
    return emscripten::convertJSArrayToNumberVector<std::uint8_t>(array);
}

std::vector<Category> categories()
{
    std::vector<Category> out;
    for (const NameTables::NameTable &table : NameTables::All)
        out.push_back({table.name, table.entries, table.nameLength, table.hasLeadingByte});
    return out;
}

std::vector<FormInfo> forms()
{
    std::vector<FormInfo> out;
    for (const NameList::Form &form : NameList::forms())
        out.push_back({std::string(form.name), std::string(form.keyword), std::string(form.endings.front()),
                       std::string(form.mediaType)});
    return out;
}

EvidenceWords evidenceWords()
{
    using CopierHeader::Evidence;
    using CopierHeader::word;
    return {word(Evidence::Option), word(Evidence::InternalHeader), word(Evidence::Size), word(Evidence::Assumed)};
}

const Session::Table &tableOf(const std::string &category)
{
    if (const Session::Table *table = NameList::tableNamed(category))
        return *table;
    throw RomError(category + ": not a category");
}

// Every call but open needs an image; the page never makes one without, so
// this is a fault of the page's scripts.
const Session &opened(const Session &session)
{
    if (!session.isOpen())
        throw RomError("no image is open");
    return session;
}

Session &opened(Session &session)
{
    opened(std::as_const(session));
    return session;
}

int indexIn(const Session::Table &table, int index)
{
    if (index < 0 || index >= table.entries)
        throw RomError(fmt::format("{} has no entry {}", table.name, index));
    return index;
}

std::string refusal(const std::string &name, double size)
{
    return Admission::refusal(name, std::int64_t(size), nullptr);
}

// A span of a file to read first, in the page's numbers.
struct Span {
    double offset, length;
};

struct Glanced {
    std::string refusal;
    val rows = val::null();  // as rows() gives them; null when the spans did not tell
};

std::vector<Span> glanceSpans(double size)
{
    std::vector<Span> out;
    for (const PartialImage::Span &span : Session::glanceSpans(std::int64_t(size)))
        out.push_back({double(span.offset), double(span.length)});
    return out;
}

Glanced glance(const Session &session, const std::string &name, double size, const val &bytes)
{
    const Session::Glance glance = session.glance(name, std::int64_t(size), bytesIn(bytes));
    return {glance.refusal, glance.rows.empty() ? val::null() : rowsOut(glance.rows)};
}

std::string openFile(Session &session, const std::string &name, const val &bytes)
{
    return session.open(name, bytesIn(bytes));
}

Info info(const Session &session)
{
    const ImageHeader::Report &header = opened(session).header();
    const auto optional16 = [](const std::optional<std::uint16_t> &value) {
        return value ? val(fmt::format("0x{:04X}", *value)) : val::null();
    };
    return {session.name(),
            double(session.size()),
            session.layout().headered,
            CopierHeader::word(session.layout().evidence),
            header.title ? val(*header.title) : val::null(),
            optional16(header.storedChecksum),
            optional16(header.storedComplement),
            fmt::format("0x{:04X}", header.computedChecksum),
            header.checksumValid};
}

// Every row of the four tables, a list for each in table order.
val rows(const Session &session)
{
    return rowsOut(opened(session).rows());
}

// The rows of the entries an undo or a redo touched, each read alone, so a
// step costs what it touched: a list for each table, as rows() gives them,
// all empty when there was nothing to undo or redo.
val touchedRows(const Session &session, const std::vector<Session::Place> &touched)
{
    std::vector<std::vector<Session::Row>> out(NameTables::All.size());
    for (const Session::Place &place : touched)
        out[std::size_t(place.table - NameTables::All.data())].push_back(session.row(*place.table, place.index));
    return rowsOut(out);
}

Session::Row row(const Session &session, const std::string &category, int index)
{
    const Session::Table &table = tableOf(category);
    return opened(session).row(table, indexIn(table, index));
}

Session::Check check(const Session &session, const std::string &category, int index, const std::string &name)
{
    const Session::Table &table = tableOf(category);
    return opened(session).check(table, indexIn(table, index), name);
}

std::string set(Session &session, const std::string &category, int index, const std::string &name)
{
    const Session::Table &table = tableOf(category);
    return opened(session).set(table, indexIn(table, index), name);
}

val undo(Session &session)
{
    return touchedRows(session, session.undo());
}

val redo(Session &session)
{
    return touchedRows(session, session.redo());
}

val image(const Session &session, bool fixChecksum)
{
    return bytesOut(opened(session).image(fixChecksum));
}

std::string imageWarning(const Session &session, bool fixChecksum)
{
    return opened(session).imageWarning(fixChecksum);
}

Patched patch(const Session &session, const std::string &format, bool fixChecksum)
{
    const Session::Patched made = opened(session).patch(format, fixChecksum);
    return {made.error.empty() ? bytesOut(made.bytes) : val::null(), made.error, made.summary, made.warning};
}

// The changes with their names read through the session's character table.
std::vector<Change> changesOf(const Session &session, const std::vector<NameList::Edit> &edits)
{
    std::vector<Change> out;
    out.reserve(edits.size());
    for (const NameList::Edit &edit : edits) {
        const int length = edit.table->nameLength;
        out.push_back({edit.table->name, edit.index, session.text(edit.before), session.text(edit.after),
                       NameList::hexColumn(edit.before, length),
                       NameList::hexColumn(edit.after, length)});
    }
    return out;
}

PatchPreview previewPatch(Session &session, const std::string &name, const val &bytes)
{
    const Session::PatchPreview &preview = opened(session).previewPatch(name, bytesIn(bytes));
    return {preview.refusal, preview.notes, changesOf(session, preview.changes), double(preview.otherBytes)};
}

std::string patchAgainst(Session &session, const std::string &name, const val &bytes)
{
    return opened(session).patchAgainst(name, bytesIn(bytes));
}

// Every name is read and written through the table from now on, or the
// refusal ("FILE:LINE: reason") and the table in use stays.
std::string useTable(Session &session, const std::string &name, const val &bytes)
{
    return session.useTable(name, textOf(bytesIn(bytes)));
}

// The texts the table in use can write, in the order of their codes.
std::vector<std::string> writable(const Session &session)
{
    return session.characters().writable();
}

// The categories of words separated by commas; all of them for "".
std::vector<const Session::Table *> tablesOf(const std::string &words)
{
    if (words.empty())
        return {};
    std::string why;
    std::vector<const Session::Table *> tables = NameList::tablesNamed(words, why);
    if (!why.empty())
        throw RomError(why);
    return tables;
}

Preview previewList(Session &session, const std::string &name, const val &bytes, bool overwrite,
                    const std::string &only)
{
    const Bytes list = bytesIn(bytes);
    const Session::Preview &preview = opened(session).previewList(name, textOf(list), {overwrite, tablesOf(only)});
    return {preview.unreadable, preview.problems, double(preview.problemCount), preview.notes,
            changesOf(session, preview.changes), preview.conflicts, double(preview.conflictCount)};
}

Exported exportList(const Session &session, const std::string &form, const std::string &only, bool changedOnly,
                    bool byteOrderMark)
{
    const NameList::Written list = opened(session).exportList(form, tablesOf(only), changedOnly, byteOrderMark,
                                                                      versionText());
    if (!list.made)
        return {val::null(), list.why};
    return {bytesOut(bytesOf(list.text)), {}};
}

std::string originalName(const Session &session)
{
    return opened(session).originalName();
}

} // namespace

EMSCRIPTEN_BINDINGS(orvane_page)
{
    using emscripten::value_object;

    value_object<Category>("Category")
        .field("word", &Category::word)
        .field("entries", &Category::entries)
        .field("nameLength", &Category::nameLength)
        .field("hasLeadingByte", &Category::hasLeadingByte);
    emscripten::register_vector<Category>("CategoryList");
    emscripten::function("categories", &categories);
    value_object<FormInfo>("FormInfo")
        .field("name", &FormInfo::name)
        .field("keyword", &FormInfo::keyword)
        .field("ending", &FormInfo::ending)
        .field("mediaType", &FormInfo::mediaType);
    emscripten::register_vector<FormInfo>("FormList");
    emscripten::function("forms", &forms);
    value_object<EvidenceWords>("EvidenceWords")
        .field("option", &EvidenceWords::option)
        .field("internalHeader", &EvidenceWords::internalHeader)
        .field("size", &EvidenceWords::size)
        .field("assumed", &EvidenceWords::assumed);
    emscripten::function("evidenceWords", &evidenceWords);
    emscripten::constant("largestList", double(NameList::LargestList));

    value_object<Span>("Span").field("offset", &Span::offset).field("length", &Span::length);
    emscripten::register_vector<Span>("SpanList");
    value_object<Glanced>("Glanced").field("refusal", &Glanced::refusal).field("rows", &Glanced::rows);

    value_object<Info>("Info")
        .field("name", &Info::name)
        .field("size", &Info::size)
        .field("copierHeader", &Info::copierHeader)
        .field("evidence", &Info::evidence)
        .field("title", &Info::title)
        .field("storedChecksum", &Info::storedChecksum)
        .field("storedComplement", &Info::storedComplement)
        .field("computedChecksum", &Info::computedChecksum)
        .field("checksumValid", &Info::checksumValid);
    value_object<Session::Row>("Row")
        .field("index", &Session::Row::index)
        .field("leading", &Session::Row::leading)
        .field("name", &Session::Row::name)
        .field("used", &Session::Row::used)
        .field("length", &Session::Row::length)
        .field("hex", &Session::Row::hex)
        .field("changed", &Session::Row::changed);
    value_object<Session::Check>("Check")
        .field("refusal", &Session::Check::refusal)
        .field("changes", &Session::Check::changes)
        .field("holds", &Session::Check::holds)
        .field("hex", &Session::Check::hex)
        .field("used", &Session::Check::used);
    value_object<Change>("Change")
        .field("category", &Change::category)
        .field("index", &Change::index)
        .field("before", &Change::before)
        .field("after", &Change::after)
        .field("beforeHex", &Change::beforeHex)
        .field("afterHex", &Change::afterHex);
    emscripten::register_vector<Change>("ChangeList");
    emscripten::register_vector<std::string>("TextList");
    value_object<Preview>("Preview")
        .field("unreadable", &Preview::unreadable)
        .field("problems", &Preview::problems)
        .field("problemCount", &Preview::problemCount)
        .field("notes", &Preview::notes)
        .field("changes", &Preview::changes)
        .field("conflicts", &Preview::conflicts)
        .field("conflictCount", &Preview::conflictCount);
    value_object<PatchPreview>("PatchPreview")
        .field("refusal", &PatchPreview::refusal)
        .field("notes", &PatchPreview::notes)
        .field("changes", &PatchPreview::changes)
        .field("otherBytes", &PatchPreview::otherBytes);
    value_object<Patched>("Patched")
        .field("bytes", &Patched::bytes)
        .field("error", &Patched::error)
        .field("summary", &Patched::summary)
        .field("warning", &Patched::warning);
    value_object<Exported>("Exported")
        .field("bytes", &Exported::bytes)
        .field("error", &Exported::error);

    emscripten::class_<Session>("Session")
        .constructor<>()
        .class_function("refusal", &refusal)
        .class_function("glanceSpans", &glanceSpans)
        .function("glance", &glance)
        .function("open", &openFile)
        .function("isOpen", &Session::isOpen)
        .function("info", &info)
        .function("rows", &rows)
        .function("row", &row)
        .function("check", &check)
        .function("set", &set)
        .function("undo", &undo)
        .function("redo", &redo)
        .function("canUndo", &Session::canUndo)
        .function("canRedo", &Session::canRedo)
        .function("changedCount", &Session::changedCount)
        .function("unsaved", &Session::unsaved)
        .function("step", &Session::step)
        .function("markSaved", &Session::markSaved)
        .function("image", &image)
        .function("imageWarning", &imageWarning)
        .function("patch", &patch)
        .function("patchAgainst", &patchAgainst)
        .function("previewPatch", &previewPatch)
        .function("applyPatch", &Session::applyPatch)
        .function("previewList", &previewList)
        .function("applyList", &Session::applyList)
        .function("exportList", &exportList)
        .function("originalName", &originalName)
        .function("useTable", &useTable)
        .function("writable", &writable);
}
