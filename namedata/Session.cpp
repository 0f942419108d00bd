#include "Session.h"

#include "Admission.h"
#include "ImageHeader.h"
#include "NameDecision.h"
#include "NameText.h"
#include "Patch.h"
#include "RomError.h"
#include "lists/Export.h"
#include "lists/Forms.h"
#include "lists/ListFile.h"

#include <fmt/format.h>

#include <algorithm>

namespace {

// What the page can do with characters without a code, said after them: the
// command's --allow-blanks is a blank typed in the page.
constexpr std::string_view UncodedHint =
    "; a character table that has them (\"Use a character table\") gives them codes, <$XX> writes any byte, "
    "and a blank typed in their place stores a blank";

int usedBytes(ByteView field)
{
    std::size_t used = field.size();
    while (used > 0 && field[used - 1] == 0xFF)
        --used;
    return int(used);
}

// The text of a field as the page edits it. The blanks that pad a field
// are left off, so typing at the end of a name adds to it rather than to
// the padding; writing the name pads the field again, so nothing is lost.
std::string padless(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

std::string Session::open(std::string name, Bytes bytes)
{
    MemoryImage candidate(std::move(bytes));
    const std::string why = Admission::refusal(name, candidate.size(), &candidate);
    if (!why.empty())
        return why;
    m_name = std::move(name);
    m_opened = std::move(candidate);
    m_layout = CopierHeader::decide(m_opened);
    CopierHeader::lay(m_opened, m_layout);
    m_image = m_opened;
    // The page shows no CRC-32, which would cost as much again as the sum.
    m_header = ImageHeader::inspect(ByteView(m_opened.bytes()).subspan(std::size_t(ImageHeader::headerBytes(m_opened))),
                                    ImageHeader::Crc::Skip);
    m_done.clear();
    m_undone.clear();
    m_savedStep = 0;
    ++m_generation;
    m_previewUsable = false;
    m_patched.clear();
    m_against = {};
    m_againstName.clear();
    m_open = true;
    return {};
}

bool Session::fieldChanged(const Table &table, int index) const
{
    const std::int64_t at = NameTables::nameOffset(table, index) + m_image.offsetShift();
    const auto from = m_opened.bytes().begin() + at, to = from + table.nameLength;
    return !std::equal(from, to, m_image.bytes().begin() + at);
}

Session::Row Session::rowOf(const NameList::Row &row, bool changed) const
{
    const int length = row.table->nameLength;
    return {row.index,
            NameList::leadingText(row),
            padless(row.name),
            usedBytes(row.field),
            length,
            NameList::hexColumn(row.field, length),
            changed};
}

std::vector<std::vector<Session::Row>> Session::rows() const
{
    std::vector<std::vector<Row>> shown(NameTables::All.size());
    for (const NameList::Row &row : NameList::dump(m_image, m_characters))
        shown[std::size_t(row.table - NameTables::All.data())].push_back(rowOf(row, fieldChanged(*row.table, row.index)));
    return shown;
}

std::vector<PartialImage::Span> Session::glanceSpans(std::int64_t size)
{
    constexpr std::int64_t Start = 64 * 1024 + ImageHeader::CopierHeaderSize;
    static_assert(NameTables::TitleOffset + 32 <= Start, "the internal header's places lie in the start read");
    std::vector<PartialImage::Span> spans{{0, std::min(size, Start)}};
    for (const Table &table : NameTables::All) {
        // Headered, as the layout counts, or 512 bytes before without one.
        const std::int64_t from = table.firstEntry - ImageHeader::CopierHeaderSize;
        spans.push_back({from, std::clamp<std::int64_t>(size - from, 0, NameTables::tableEnd(table) - from)});
    }
    return spans;
}

Session::Glance Session::glance(std::string_view name, std::int64_t size, ByteView spans) const
{
    Glance glance;
    try {
        PartialImage image(size, glanceSpans(size), spans);
        glance.refusal = Admission::refusal(name, size, &image);
        if (!glance.refusal.empty())
            return glance;
        CopierHeader::lay(image, CopierHeader::decide(image));
        glance.rows.resize(NameTables::All.size());
        for (const NameList::Row &row : NameList::dump(image, m_characters))
            glance.rows[std::size_t(row.table - NameTables::All.data())].push_back(rowOf(row, false));
    } catch (const RomError &) {
        // Spans too few for what was asked: nothing to show before the whole file.
        return {};
    }
    return glance;
}

Session::Row Session::row(const Table &table, int index) const
{
    return rowOf(NameList::dumpEntry(m_image, table, index, m_characters), fieldChanged(table, index));
}

Session::Check Session::check(const Table &table, int index, std::string_view name) const
{
    // A name typed into the page is decided as set decides it.
    const NameList::Decision decision =
        NameList::decide(m_image, table, index, name, false, UncodedHint, m_characters);
    Check result;
    if (!decision.refusal.empty()) {
        result.refusal = decision.refusal;
        return result;
    }
    result.changes = decision.change.has_value();
    result.holds = padless(text(decision.after));
    result.hex = NameList::hexColumn(decision.after, table.nameLength);
    result.used = usedBytes(decision.after);
    return result;
}

std::string Session::set(const Table &table, int index, std::string_view name)
{
    NameList::Decision decision = NameList::decide(m_image, table, index, name, false, UncodedHint, m_characters);
    if (!decision.refusal.empty())
        return decision.refusal;
    if (decision.change)
        perform({std::move(*decision.change)});
    return {};
}

void Session::putWhole(Bytes bytes)
{
    m_image = MemoryImage(std::move(bytes));
    CopierHeader::lay(m_image, m_layout);
}

void Session::perform(std::vector<NameList::Edit> edits, Bytes before, Bytes after)
{
    if (!after.empty())
        putWhole(after);
    else
        for (const NameList::Edit &edit : edits)
            NameList::write(m_image, edit);
    m_done.push_back({m_nextStep++, std::move(edits), std::move(before), std::move(after)});
    // A new edit ends the redo history, as in any editor.
    m_undone.clear();
    ++m_generation;
}

std::vector<Session::Place> Session::undo()
{
    if (m_done.empty())
        return {};
    Step step = std::move(m_done.back());
    m_done.pop_back();
    std::vector<Place> touched;
    if (!step.before.empty())
        putWhole(step.before);
    for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit) {
        NameList::Edit back = *edit;
        std::swap(back.before, back.after);
        if (step.before.empty())
            NameList::write(m_image, back);
        touched.push_back({edit->table, edit->index});
    }
    m_undone.push_back(std::move(step));
    ++m_generation;
    return touched;
}

std::vector<Session::Place> Session::redo()
{
    if (m_undone.empty())
        return {};
    Step step = std::move(m_undone.back());
    m_undone.pop_back();
    std::vector<Place> touched;
    if (!step.after.empty())
        putWhole(step.after);
    for (const NameList::Edit &edit : step.edits) {
        if (step.after.empty())
            NameList::write(m_image, edit);
        touched.push_back({edit.table, edit.index});
    }
    m_done.push_back(std::move(step));
    ++m_generation;
    return touched;
}

int Session::changedCount() const
{
    int count = 0;
    for (const Table &table : NameTables::All)
        for (int index = 0; index < table.entries; ++index)
            count += fieldChanged(table, index);
    return count;
}

Bytes Session::image(bool fixChecksum) const
{
    MemoryImage copy = m_image;
    if (fixChecksum)
        ImageHeader::makeChecksumSound(copy);
    return copy.bytes();
}

const Session::Preview &Session::previewList(std::string_view listName, std::string_view bytes,
                                             const ListChoice &choice)
{
    m_preview = {};
    m_previewUsable = false;
    NameList::Request request = NameList::read(bytes, listName);
    request.overwrite = choice.overwrite;
    request.only = choice.only;
    request.uncodedHint = UncodedHint;
    request.characters = &m_characters;
    if (!request.unreadable.empty()) {
        m_preview.unreadable = fmt::format("{}: {}; nothing was changed.", listName, request.unreadable);
        return m_preview;
    }
    NameList::Plan plan = NameList::check(m_image, request, false);
    // A list of 100,000 bad lines is read in a moment; making and showing a
    // line for each is what would hold the page up.
    m_preview.problemCount = plan.problems.size() + plan.moreProblems;
    for (const NameList::Problem &problem : plan.problems)
        m_preview.problems.push_back(NameList::problemLine(listName, plan.byPosition, problem));
    if (plan.moreProblems > 0)
        m_preview.problems.push_back(NameList::moreProblems(listName, plan.moreProblems));
    // What apply says on standard error besides the changes.
    m_preview.notes = NameList::requestNotes(request);
    for (const NameList::Problem &note : plan.leftAlone)
        m_preview.notes.push_back(NameList::problemLine(listName, plan.byPosition, note));
    for (const std::string &note : NameList::planNotes(plan))
        m_preview.notes.push_back(fmt::format("{}: {}", listName, note));
    m_preview.conflictCount = plan.conflicts.size() + plan.moreConflicts;
    for (const NameList::Conflict &conflict : plan.conflicts)
        m_preview.conflicts.push_back(NameList::conflictLine(listName, plan.byPosition, conflict));
    if (plan.moreConflicts > 0)
        m_preview.conflicts.push_back(fmt::format("{}: and {} more conflict(s).", listName, plan.moreConflicts));
    m_preview.changes = std::move(plan.changes);
    m_previewUsable = !plan.refused();
    m_previewGeneration = m_generation;
    return m_preview;
}

const Session::Preview &Session::previewList(std::string_view listName, std::string_view bytes)
{
    return previewList(listName, bytes, ListChoice());
}

std::string Session::applyList()
{
    if (!m_previewUsable)
        return m_preview.problemCount > 0 ? "The list has problems, so none of its names were written."
                                          : "The list has conflicts, so none of its names were written.";
    if (m_previewGeneration != m_generation)
        return "The names changed after the list was read; nothing was written. Import the list again.";
    m_previewUsable = false;
    if (!m_preview.changes.empty())
        perform(m_preview.changes);
    return {};
}

NameList::Written Session::exportList(std::string_view form, const std::vector<const Table *> &only,
                                     bool changedOnly, bool byteOrderMark, std::string_view version) const
{
    NameList::ListChoice choice;
    choice.form = NameList::formNamed(form);
    if (!choice.form)
        return {false, {}, fmt::format("no list is written as \"{}\"", form)};
    choice.only = only;
    choice.byteOrderMark = byteOrderMark;
    choice.characters = &m_characters;
    if (changedOnly)
        choice.changedFrom = m_againstName.empty() ? &m_opened : &m_against;
    return NameList::writeList(NameList::listedRows(m_image, choice), choice, NameList::originOf(m_name, version));
}

std::string Session::originalName() const
{
    return m_againstName.empty() ? std::string("the file as opened") : m_againstName;
}

std::string Session::useTable(std::string_view fileName, std::string_view text)
{
    CharTable::Read read = CharTable::read(text, fileName);
    if (!read.table)
        return read.refusal;
    m_characters = std::move(*read.table);
    return {};
}

std::string Session::text(ByteView field) const
{
    return NameText::fromField(field, m_characters);
}
