// What the page's scripts see of the core: one class, Session, whose calls
// take and give plain JavaScript values (objects, arrays, strings and
// Uint8Arrays), and Session.refusal, the page's rule for a file.
#include "Admission.h"
#include "NameText.h"
#include "RomError.h"
#include "Session.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <fmt/format.h>

#include <utility>

namespace {

using emscripten::val;

val bytesOut(ByteView bytes)
{
    // A copy that JavaScript owns: a view into the module's memory would be
    // emptied when that memory grows.
    val out = val::global("Uint8Array").new_(bytes.size());
    out.call<void>("set", val(emscripten::typed_memory_view(bytes.size(), bytes.data())));
    return out;
}

Bytes bytesIn(const val &array)
{
    return emscripten::convertJSArrayToNumberVector<std::uint8_t>(array);
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

val rowOut(const Session::Row &row)
{
    val out = val::object();
    out.set("index", row.index);
    out.set("leading", row.leading);
    out.set("name", row.name);
    out.set("used", row.used);
    out.set("length", row.length);
    out.set("hex", row.hex);
    out.set("changed", row.changed);
    return out;
}

val places(const std::vector<Session::Place> &touched)
{
    val out = val::array();
    for (const Session::Place &place : touched) {
        val one = val::object();
        one.set("category", std::string(place.table->name));
        one.set("index", place.index);
        out.call<void>("push", one);
    }
    return out;
}

std::string refusal(const std::string &name, double size)
{
    return Admission::refusal(name, std::int64_t(size), nullptr);
}

std::string openFile(Session &session, const std::string &name, const val &bytes)
{
    return session.open(name, bytesIn(bytes));
}

val info(const Session &session)
{
    const ImageHeader::Report &header = opened(session).header();
    const auto optional16 = [](const std::optional<std::uint16_t> &value) {
        return value ? val(fmt::format("0x{:04X}", *value)) : val::null();
    };
    val out = val::object();
    out.set("name", session.name());
    out.set("size", double(session.size()));
    out.set("copierHeader", session.layout().headered);
    out.set("evidence", std::string(CopierHeader::word(session.layout().evidence)));
    out.set("title", header.title ? val(*header.title) : val::null());
    out.set("storedChecksum", optional16(header.storedChecksum));
    out.set("storedComplement", optional16(header.storedComplement));
    out.set("computedChecksum", fmt::format("0x{:04X}", header.computedChecksum));
    out.set("checksumValid", header.checksumValid);
    return out;
}

// Every row of the four tables as lines of tab-separated columns, each
// table's after a line holding its category alone: one string crosses into
// JavaScript, rather than thousands of properties one by one, and no name
// holds a tab or a line break.
std::string rows(const Session &session)
{
    const std::vector<std::vector<Session::Row>> tables = opened(session).rows();
    std::string text;
    text.reserve(64 * 1024);
    for (std::size_t k = 0; k < tables.size(); ++k) {
        text += NameTables::All[k].name;
        text += '\n';
        for (const Session::Row &row : tables[k])
            fmt::format_to(std::back_inserter(text), "{}\t{}\t{}\t{}\t{}\t{}\t{}\n", row.index, row.leading, row.name,
                           row.used, row.length, row.hex, row.changed ? 1 : 0);
    }
    return text;
}

val row(const Session &session, const std::string &category, int index)
{
    const Session::Table &table = tableOf(category);
    return rowOut(opened(session).row(table, indexIn(table, index)));
}

val check(const Session &session, const std::string &category, int index, const std::string &name)
{
    const Session::Table &table = tableOf(category);
    const Session::Check result = opened(session).check(table, indexIn(table, index), name);
    val out = val::object();
    out.set("refusal", result.refusal);
    out.set("changes", result.changes);
    out.set("holds", result.holds);
    out.set("hex", result.hex);
    out.set("used", result.used);
    out.set("length", int(table.nameLength));
    return out;
}

std::string set(Session &session, const std::string &category, int index, const std::string &name)
{
    const Session::Table &table = tableOf(category);
    return opened(session).set(table, indexIn(table, index), name);
}

val undo(Session &session)
{
    return places(session.undo());
}

val redo(Session &session)
{
    return places(session.redo());
}

val image(const Session &session, bool fixChecksum)
{
    return bytesOut(opened(session).image(fixChecksum));
}

val patch(const Session &session, const std::string &format, bool fixChecksum)
{
    const Session::Patched made = opened(session).patch(format, fixChecksum);
    val out = val::object();
    out.set("bytes", made.error.empty() ? bytesOut(made.bytes) : val::null());
    out.set("error", made.error);
    out.set("summary", made.summary);
    out.set("warning", made.warning);
    return out;
}

val previewList(Session &session, const std::string &name, const val &bytes)
{
    const Bytes list = bytesIn(bytes);
    const Session::Preview &preview = opened(session).previewList(name, textOf(list));
    val out = val::object();
    out.set("unreadable", preview.unreadable);
    val problems = val::array();
    for (const std::string &problem : preview.problems)
        problems.call<void>("push", problem);
    out.set("problems", problems);
    out.set("moreProblems", double(preview.moreProblems));
    val notes = val::array();
    for (const std::string &note : preview.notes)
        notes.call<void>("push", note);
    out.set("notes", notes);
    val changes = val::array();
    for (const NameList::Edit &edit : preview.changes) {
        const int length = edit.table->nameLength;
        val one = val::object();
        one.set("category", std::string(edit.table->name));
        one.set("index", edit.index);
        one.set("before", NameText::fromField(edit.before));
        one.set("after", NameText::fromField(edit.after));
        one.set("beforeHex", NameList::hexColumn(edit.before, length));
        one.set("afterHex", NameList::hexColumn(edit.after, length));
        changes.call<void>("push", one);
    }
    out.set("changes", changes);
    return out;
}

val exportCsv(const Session &session)
{
    const std::string csv = opened(session).exportCsv();
    return bytesOut(bytesOf(csv));
}

} // namespace

EMSCRIPTEN_BINDINGS(orvane_page)
{
    emscripten::class_<Session>("Session")
        .constructor<>()
        .class_function("refusal", &refusal)
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
        .function("markSaved", &Session::markSaved)
        .function("image", &image)
        .function("patch", &patch)
        .function("previewList", &previewList)
        .function("applyList", &Session::applyList)
        .function("exportCsv", &exportCsv);
}
