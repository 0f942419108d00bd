#include "Session.h"

#include "Admission.h"
#include "ImageHeader.h"
#include "NameText.h"
#include "Patch.h"
#include "lists/Forms.h"
#include "lists/ListFile.h"

#include <fmt/format.h>

#include <algorithm>

namespace {

// The core's reasons speak to the command, whose --allow-blanks the page does
// not offer; the rest of the sentence holds for the page as it is.
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
    m_open = true;
    return {};
}

bool Session::fieldChanged(const Table &table, int index) const
{
    const std::int64_t at = NameTables::nameOffset(table, index) + m_image.offsetShift();
    const auto from = m_opened.bytes().begin() + at, to = from + table.nameLength;
    return !std::equal(from, to, m_image.bytes().begin() + at);
}

Session::Row Session::rowOf(const NameList::Row &row) const
{
    const int length = row.table->nameLength;
    return {row.index,
            NameList::leadingText(row),
            padless(row.name),
            usedBytes(row.field),
            length,
            NameList::hexColumn(row.field, length),
            fieldChanged(*row.table, row.index)};
}

std::vector<std::vector<Session::Row>> Session::rows() const
{
    std::vector<std::vector<Row>> shown(NameTables::All.size());
    for (const NameList::Row &row : NameList::dump(m_image))
        shown[std::size_t(row.table - NameTables::All.data())].push_back(rowOf(row));
    return shown;
}

Session::Row Session::row(const Table &table, int index) const
{
    return rowOf(NameList::dumpEntry(m_image, table, index));
}

NameList::Plan Session::checkOne(const Table &table, int index, std::string_view name) const
{
    // A name typed into the page is taken as typed, never as an earlier
    // version's text of the field.
    NameList::Request request;
    request.earlierText = false;
    request.entries.push_back({1, &table, index, std::string(name)});
    return NameList::check(m_image, request, false);
}

Session::Check Session::check(const Table &table, int index, std::string_view name) const
{
    // As set checks a name: bytes decide whether it changes the field.
    const NameList::Plan plan = checkOne(table, index, name);
    Check result;
    if (!plan.problems.empty()) {
        result.refusal = NameList::refusal(m_image, table, index, NameList::withoutTrailingBlanks(name), false);
        return result;
    }
    result.changes = !plan.changes.empty();
    const Bytes after = result.changes ? plan.changes.front().after
                                       : m_image.read(NameTables::nameOffset(table, index), table.nameLength);
    result.holds = padless(NameText::fromField(after));
    result.hex = NameList::hexColumn(after, table.nameLength);
    result.used = usedBytes(after);
    return result;
}

std::string Session::set(const Table &table, int index, std::string_view name)
{
    NameList::Plan plan = checkOne(table, index, name);
    if (!plan.problems.empty())
        return NameList::refusal(m_image, table, index, NameList::withoutTrailingBlanks(name), false);
    if (!plan.changes.empty())
        perform(std::move(plan.changes));
    return {};
}

void Session::perform(std::vector<NameList::Edit> edits)
{
    for (const NameList::Edit &edit : edits)
        NameList::write(m_image, edit);
    m_done.push_back({m_nextStep++, std::move(edits)});
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
    for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit) {
        NameList::Edit back = *edit;
        std::swap(back.before, back.after);
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
    for (const NameList::Edit &edit : step.edits) {
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

Session::Patched Session::patch(std::string_view format, bool fixChecksum) const
{
    Patched made;
    MemoryImage edited(image(fixChecksum));
    CopierHeader::lay(edited, m_layout);
    // Behind the copier header, as patchers and dump collections expect.
    const Bytes source = ImageHeader::readData(m_opened);
    const Bytes target = ImageHeader::readData(edited);
    try {
        made.bytes = format == "IPS" ? Patch::makeIps(source, target) : Patch::makeBps(source, target);
    } catch (const RomError &e) {
        made.error = e.message() + " No patch was made.";
        return made;
    }
    std::int64_t changed = 0;
    for (std::size_t k = 0; k < source.size(); ++k)
        changed += source[k] != target[k];
    made.summary = fmt::format("{} patch of {} bytes for {} changed byte(s); the original's CRC-32 is {:08X}.",
                               format == "IPS" ? "IPS" : "BPS", made.bytes.size(), changed,
                               ImageHeader::crc32(source));
    // Players' emulators call an image with an unsound pair damaged.
    if (m_header.checksumValid && !ImageHeader::inspect(target, ImageHeader::Crc::Skip).checksumValid)
        made.warning = "The edited image's checksum pair is not sound, though the original's is, so the patched "
                       "image will look damaged; choose to fix the checksum and make the patch again.";
    return made;
}

const Session::Preview &Session::previewList(std::string_view listName, std::string_view bytes)
{
    m_preview = {};
    m_previewUsable = false;
    const NameList::Request request = NameList::read(bytes, listName);
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
    if (request.fuzzy > 0)
        m_preview.notes.push_back(fmt::format("{} fuzzy entr(ies) left out, as not yet translated.", request.fuzzy));
    if (request.empty > 0)
        m_preview.notes.push_back(fmt::format("{} entr(ies) with an empty name left alone.", request.empty));
    for (const NameList::Problem &note : plan.leftAlone)
        m_preview.notes.push_back(NameList::problemLine(listName, plan.byPosition, note));
    m_preview.changes = std::move(plan.changes);
    m_previewUsable = plan.problems.empty();
    m_previewGeneration = m_generation;
    return m_preview;
}

std::string Session::applyList()
{
    if (!m_previewUsable)
        return "The list has problems, so none of its names were written.";
    if (m_previewGeneration != m_generation)
        return "The names changed after the list was read; nothing was written. Import the list again.";
    m_previewUsable = false;
    if (!m_preview.changes.empty())
        perform(m_preview.changes);
    return {};
}

std::string Session::exportCsv() const
{
    return NameList::formNamed("CSV")->write(NameList::dump(m_image), {}).text;
}
