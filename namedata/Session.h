#pragma once

#include "Bytes.h"
#include "CharTable.h"
#include "CopierHeader.h"
#include "ImageHeader.h"
#include "MemoryImage.h"
#include "NameList.h"
#include "NameTables.h"
#include "PartialImage.h"
#include "lists/Forms.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One image open for editing in memory, as the page holds it. The file stays
// as it was opened, and every edit goes into a copy of it, so a front end can
// undo and redo every edit, count the names that differ from the file, and
// make a patch from the file to the copy. Names are checked and written
// exactly as orvane-names set and apply check and write them.
class Session {
public:
    using Table = NameTables::NameTable;

    struct Row {
        int index;
        std::string leading;  // the leading byte in hex, "-" where the table has none
        std::string name;     // the lossless text, without the blanks that pad the field
        int used;             // bytes before the trailing blanks
        int length;           // the field's length
        std::string hex;      // the field's bytes
        bool changed;         // differs from the file as opened
        bool operator==(const Row &) const = default;
    };

    // What a name would do to its field, before anything changes.
    struct Check {
        std::string refusal;  // why it cannot be written, or ""
        bool changes = false;
        std::string holds;    // the field afterwards, as lossless text without the padding
        std::string hex;
        int used = 0;
    };

    struct Patched {
        Bytes bytes;          // empty when refused
        std::string error;    // why no patch was made
        std::string summary;  // what the command reports
        std::string warning;  // the checksum warning of the command
    };

    struct Preview {
        std::string unreadable;             // why the list as a whole could not be read
        // "names.csv:3: ...", as apply --dry-run reports them: the first the
        // core keeps, then a line with how many more.
        std::vector<std::string> problems;
        std::size_t problemCount = 0;       // every one, shown or not
        std::vector<std::string> notes;     // entries left alone, and why
        std::vector<NameList::Edit> changes;
        // Each conflict with its three names, as apply reports it: the first
        // the core keeps, then a line with how many more.
        std::vector<std::string> conflicts;
        std::size_t conflictCount = 0;      // every one, shown or not
    };

    // What a list is read for: whether the list's names go over the
    // conflicting ones, and the only categories read (all where empty).
    struct ListChoice {
        bool overwrite = false;
        std::vector<const Table *> only;
    };

    // What a patch would do to the image as it now is.
    struct PatchPreview {
        std::string refusal;                // why it cannot be applied, or ""
        std::vector<std::string> notes;     // "fix.ips: it ...", as diff IMAGE PATCH notes them
        std::vector<NameList::Edit> changes;
        std::int64_t otherBytes = 0;        // bytes it changes outside the name fields
    };

    struct Place {
        const Table *table;
        int index;
    };

    // Opens the bytes as the image named so, or says why not (the page's rule
    // in Admission) and keeps whatever was open before.
    std::string open(std::string name, Bytes bytes);
    bool isOpen() const { return m_open; }

    const std::string &name() const { return m_name; }
    std::int64_t size() const { return m_image.size(); }
    const CopierHeader::Decision &layout() const { return m_layout; }
    // The cartridge header of the file as opened.
    const ImageHeader::Report &header() const { return m_header; }

    // Every row of every table, in table order.
    std::vector<std::vector<Row>> rows() const;

    // What open would show of a file, from a few spans of it, so that a front
    // end can show the names while the rest of a large file is being read:
    // the spans to read of a file of that size (its first 64 KiB, which hold
    // both places of the internal header, and each name table wherever the
    // copier header decision may lay it out), and the file's rows as open
    // and rows() would give them, through the table in use, from the bytes
    // of those spans one after another; or why open would refuse the file.
    struct Glance {
        std::string refusal;
        std::vector<std::vector<Row>> rows;
    };
    static std::vector<PartialImage::Span> glanceSpans(std::int64_t size);
    Glance glance(std::string_view name, std::int64_t size, ByteView spans) const;
    // One row, read alone: a step redraws only what it touched.
    Row row(const Table &table, int index) const;

    Check check(const Table &table, int index, std::string_view name) const;
    // Writes the name as one step that can be undone, or says why not and
    // changes nothing.
    std::string set(const Table &table, int index, std::string_view name);

    // The entries the step touched; none when there was nothing to undo or redo.
    std::vector<Place> undo();
    std::vector<Place> redo();
    bool canUndo() const { return !m_done.empty(); }
    bool canRedo() const { return !m_undone.empty(); }

    // Name fields that differ from the file as opened.
    int changedCount() const;
    // Whether the names changed since the image was opened or last taken back.
    bool unsaved() const { return top() != m_savedStep; }
    // The step the names are at, and marking the names as they were at one
    // saved: a save that ends later counts what it wrote, not the edits
    // made while it ran.
    unsigned step() const { return top(); }
    void markSaved(unsigned step) { m_savedStep = step; }

    // The whole file with the edits, the checksum pair made sound if asked.
    Bytes image(bool fixChecksum) const;
    // The warning orvane-names patch gives of a patch to this image, for the
    // image itself: its checksum pair is not sound though the file as opened
    // had a sound one. "" when there is nothing to warn of.
    std::string imageWarning(bool fixChecksum) const;
    // A BPS or IPS patch from the file as opened, or the original given to
    // patchAgainst, to image(fixChecksum), made as orvane-names patch makes
    // it, for the image the player holds.
    Patched patch(std::string_view format, bool fixChecksum) const;
    // Makes every later patch from this original, as orvane-names patch
    // ORIGINAL EDITED does, or says why not and keeps the one before.
    std::string patchAgainst(std::string name, Bytes bytes);

    // Applies the patch to the image as it now is, by the rule of
    // orvane-names diff IMAGE PATCH, and keeps the result for applyPatch.
    const PatchPreview &previewPatch(std::string_view patchName, ByteView bytes);
    // Puts the last preview's image in as one step, or says why not: refused
    // when the names changed since.
    std::string applyPatch();

    // Reads and checks a list as apply --dry-run does, and keeps its changes
    // for applyList.
    const Preview &previewList(std::string_view listName, std::string_view bytes, const ListChoice &choice);
    const Preview &previewList(std::string_view listName, std::string_view bytes);
    // Applies every change of the last preview as one step, or none: refused
    // when it had problems or the names changed since.
    std::string applyList();

    // The names as orvane-names dump prints them in the form named
    // ("lines", "CSV", ...): those of the only categories, where given; with
    // changedOnly, those that differ from the original patches are made
    // from, with its bytes as the base, as dump --changed-from lists them;
    // with a byte-order mark, as dump --bom, where the form takes one; a PO
    // header names the image's file and orvane-names of that version.
    NameList::Written exportList(std::string_view form, const std::vector<const Table *> &only, bool changedOnly,
                                 bool byteOrderMark, std::string_view version) const;
    // The original patches and exports of changed names are made from, as
    // messages name it: the one patchAgainst was given, or "the file as opened".
    std::string originalName() const;

    // Reads and writes every name through the game's table with the file
    // laid over it, as --table FILE does, from now on; or says why not
    // ("FILE:LINE: reason") and keeps the table in use.
    std::string useTable(std::string_view fileName, std::string_view text);
    const CharTable &characters() const { return m_characters; }
    // A field's bytes as lossless text through the table in use.
    std::string text(ByteView field) const;

private:
    struct Step {
        unsigned id;
        std::vector<NameList::Edit> edits;
        // A patch may change bytes outside the names (the checksum pair), so
        // its step holds the whole image before and after.
        Bytes before, after;
    };

    unsigned top() const { return m_done.empty() ? 0 : m_done.back().id; }
    void perform(std::vector<NameList::Edit> edits, Bytes before = {}, Bytes after = {});
    void putWhole(Bytes bytes);
    bool fieldChanged(const Table &table, int index) const;
    Row rowOf(const NameList::Row &row, bool changed) const;

    bool m_open = false;
    std::string m_name;
    MemoryImage m_opened;  // the file as opened, laid out as m_image
    MemoryImage m_image;   // the copy the edits go into
    CopierHeader::Decision m_layout;
    ImageHeader::Report m_header;
    std::vector<Step> m_done, m_undone;
    unsigned m_nextStep = 1, m_savedStep = 0;
    // Counts every change to m_image, so a preview can tell it is stale.
    unsigned m_generation = 0, m_previewGeneration = 0;
    Preview m_preview;
    bool m_previewUsable = false;
    PatchPreview m_patchPreview;
    Bytes m_patched;       // the image the previewed patch makes, empty when refused
    unsigned m_patchGeneration = 0;
    MemoryImage m_against; // the original patches are made from, when not the file
    std::string m_againstName;
    CharTable m_characters = CharTable::game();
};
