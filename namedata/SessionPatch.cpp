// The session's patches: one made from the file as opened or from another
// original, and a published one read back, shown name by name and applied
// as one step.
#include "Session.h"

#include "Admission.h"
#include "ImageHeader.h"
#include "Patch.h"
#include "PatchFile.h"
#include "RomError.h"

#include <fmt/format.h>

#include <algorithm>

namespace {

// The command's warning of a broken checksum pair, for what the page makes.
std::string brokenPair(std::string_view made, std::string_view again)
{
    return fmt::format("The edited image's checksum pair is not sound, though the original's is, so {} will look "
                       "damaged; choose to fix the checksum and {} again.",
                       made, again);
}

} // namespace

std::string Session::imageWarning(bool fixChecksum) const
{
    if (fixChecksum)
        return {};
    const std::size_t skip = m_layout.headered ? std::size_t(ImageHeader::CopierHeaderSize) : 0;
    const Bytes edited = image(false);
    const ByteView opened(m_opened.bytes());
    if (!Patch::checksumBroken(opened.subspan(std::min(skip, opened.size())),
                               ByteView(edited).subspan(std::min(skip, edited.size()))))
        return {};
    return brokenPair("the saved image", "save it");
}

Session::Patched Session::patch(std::string_view format, bool fixChecksum) const
{
    Patched made;
    const Patch::Format form = format == "IPS" ? Patch::Format::Ips : Patch::Format::Bps;
    // For the image the player holds, as orvane-names patch makes it.
    const std::size_t kept = Patch::headerKept(form, m_layout.headered, false, false);
    const MemoryImage &original = m_againstName.empty() ? m_opened : m_against;
    Patch::Made patch;
    try {
        patch = Patch::make(form, original.bytes(), image(fixChecksum), m_layout.headered, kept);
    } catch (const RomError &e) {
        made.error = e.message() + " No patch was made.";
        return made;
    }
    made.summary = Patch::summary(form, patch);
    made.bytes = std::move(patch.bytes);
    if (patch.checksumBroken)
        made.warning = brokenPair("the patched image", "make the patch");
    return made;
}

std::string Session::patchAgainst(std::string name, Bytes bytes)
{
    MemoryImage candidate(std::move(bytes));
    std::string why = Admission::refusal(name, candidate.size(), &candidate);
    if (why.empty()) {
        const CopierHeader::Decision layout = CopierHeader::decide(candidate);
        why = Patch::pairRefusal({name, layout.headered, candidate.size()}, {m_name, m_layout.headered, size()});
    }
    if (!why.empty())
        return fmt::format("{} Patches are still made against {}.", why,
                           m_againstName.empty() ? "the file as opened" : m_againstName);
    m_against = std::move(candidate);
    m_againstName = std::move(name);
    return {};
}

const Session::PatchPreview &Session::previewPatch(std::string_view patchName, ByteView bytes)
{
    m_patchPreview = {};
    m_patched.clear();
    const Bytes &now = m_image.bytes();
    const std::size_t header = std::size_t(ImageHeader::headerBytes(m_image));
    Patch::OnFile made;
    try {
        made = Patch::applyToFile(bytes, now, header);
    } catch (const RomError &e) {
        m_patchPreview.refusal = fmt::format("{}: {} Nothing was changed.", patchName, e.message());
        return m_patchPreview;
    }
    for (const Patch::Note &note : made.notes)
        m_patchPreview.notes.push_back(fmt::format("{}: {}", patchName, Patch::sentence(note, "the image")));
    if (made.bytes.size() != now.size()) {
        m_patchPreview.refusal = fmt::format("{}: it makes an image of {} bytes of this one of {}; the page applies "
                                             "only a patch that keeps the image's size. Nothing was changed.",
                                             patchName, made.bytes.size(), now.size());
        return m_patchPreview;
    }
    std::int64_t inNames = 0;
    for (const Table &table : NameTables::All)
        for (int index = 0; index < table.entries; ++index) {
            const std::int64_t at = NameTables::nameOffset(table, index) + m_image.offsetShift();
            const std::int64_t end = std::min<std::int64_t>(at + table.nameLength, std::int64_t(now.size()));
            if (at >= end)
                continue;
            const Bytes before(now.begin() + at, now.begin() + end), after(made.bytes.begin() + at,
                                                                         made.bytes.begin() + end);
            if (before == after)
                continue;
            for (std::size_t k = 0; k < before.size(); ++k)
                inNames += before[k] != after[k];
            m_patchPreview.changes.push_back({0, &table, index, before, after});
        }
    std::int64_t differ = 0;
    for (std::size_t k = 0; k < now.size(); ++k)
        differ += now[k] != made.bytes[k];
    m_patchPreview.otherBytes = differ - inNames;
    m_patched = std::move(made.bytes);
    m_patchGeneration = m_generation;
    return m_patchPreview;
}

std::string Session::applyPatch()
{
    if (m_patched.empty())
        return "The patch cannot be applied; nothing was changed.";
    if (m_patchGeneration != m_generation)
        return "The names changed after the patch was read; nothing was changed. Open the patch again.";
    Bytes after = std::move(m_patched);
    m_patched.clear();
    if (after != m_image.bytes())
        perform(m_patchPreview.changes, m_image.bytes(), std::move(after));
    return {};
}
