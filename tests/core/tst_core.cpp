// The core without Qt: an image in memory against the file on disk, both
// CRC-32s against zlib's, blanks trimmed off text, and file names that look like placeholders
// standing in the command's messages as they are.
#include "CopierHeader.h"
#include "GetText.h"
#include "ImageHeader.h"
#include "MemoryImage.h"
#include "NameList.h"
#include "NameStore.h"
#include "Patch.h"
#include "PatchFile.h"
#include "RomError.h"
#include "RomFile.h"
#include "Session.h"
#include "Utf8.h"
#include "lists/Forms.h"
#include "lists/ListFile.h"
#include "lists/TextList.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string &what)
{
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
        ++failures;
    }
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string &path, const Bytes &bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

// A headered image of the layout's size with a pattern in it.
Bytes pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t k = 0; k < size; ++k)
        bytes[k] = std::uint8_t(k * 7 + (k >> 9));
    return bytes;
}

using NameTables::Category;
using Operation = std::function<void(Image &)>;

// Each operation on an image held in memory and on the same bytes in a file:
// the same bytes come out, and the same refusals.
void memoryImageActsAsTheFile(const std::string &folder)
{
    const auto items = NameTables::table(Category::Items);
    const struct {
        const char *name;
        std::size_t size;
        Operation operation;
    } cases[] = {
        {"a name stored", 0x300000, [](Image &i) { storeName(i, NameTables::table(Category::Characters), 3, "Ax"); }},
        {"uncoded and too long", 0x300000,
         [](Image &i) {
             storeName(i, NameTables::table(Category::Magic), 53, "A&B\u00e9");
             storeName(i, NameTables::table(Category::Monsters), 0, "Sea-Serpent");
         }},
        {"a list applied", 0x300000,
         [](Image &i) {
             const NameList::Request request = NameList::Text::read("items\t0\t-\tSlime\nitems\t1\t-\t<$00>\u2026\n");
             const NameList::Plan plan = NameList::check(i, request, false);
             NameList::apply(i, plan);
         }},
        {"a list of blanks over bytes without characters", 0x300000,
         [](Image &i) {
             const auto &monsters = NameTables::table(Category::Monsters);
             i.writeField(NameTables::nameOffset(monsters, 4), Bytes(10, 0x00));
             const NameList::Request request = NameList::Text::read("monsters\t4\t-\t  \nmonsters\t5\t-\t<$FF>\n");
             NameList::apply(i, NameList::check(i, request, false));
             for (const int index : {4, 5})
                 check(i.read(NameTables::nameOffset(monsters, index), 10) == Bytes(10, 0xFF),
                       "a name of blanks blanks monsters " + std::to_string(index));
         }},
        {"the checksum made sound, headerless", 0x300000,
         [](Image &i) {
             CopierHeader::lay(i, CopierHeader::decide(i, false));
             storeName(i, NameTables::table(Category::Items), 2, "Bo");
             ImageHeader::makeChecksumSound(i);
         }},
        {"a field past the end", std::size_t(NameTables::nameOffset(items, 255) + 4),
         [](Image &i) { storeName(i, NameTables::table(Category::Items), 255, "Ax"); }},
        {"a field ending where the file does", std::size_t(NameTables::nameOffset(items, 255) + items.nameLength),
         [](Image &i) { storeName(i, NameTables::table(Category::Items), 255, "Ax"); }},
        {"before the start", 0x300000, [](Image &i) {
             i.setOffsetShift(-0x200000);
             i.writeField(0x100, Bytes{1, 2});
         }},
    };
    for (const auto &c : cases) {
        const Bytes start = pattern(c.size);
        const std::string path = folder + "/image.smc";
        writeFile(path, start);
        MemoryImage memory(start);
        RomFile file;
        check(file.open(path), std::string(c.name) + ": open");
        std::string inMemory = "done", onDisk = "done";
        try { c.operation(memory); } catch (const RomError &e) { inMemory = e.message(); }
        try { c.operation(file); } catch (const RomError &e) { onDisk = e.message(); }
        file.close();
        check(inMemory == onDisk, std::string(c.name) + ": \"" + inMemory + "\" in memory, \"" + onDisk + "\" on disk");
        check(textOf(memory.bytes()) == readFile(path), std::string(c.name) + ": the bytes differ");
        check(memory.bytes() != start || inMemory != "done" || std::string(c.name) == "before the start",
              std::string(c.name) + ": nothing was written");
    }
}

// An entry read alone, as a step of the page redraws it, is dump's own row:
// in a whole image, in one laid out without its copier header, and in one
// that ends inside the item table.
void entryReadAloneIsDumps()
{
    const auto cut = std::size_t(NameTables::nameOffset(NameTables::table(Category::Items), 200) + 5);
    MemoryImage whole(pattern(0x300000)), headerless(pattern(0x300000)), cutShort(pattern(cut));
    CopierHeader::lay(headerless, CopierHeader::decide(headerless, false));
    for (const auto &[name, image] : {std::pair<std::string, const MemoryImage *>{"whole", &whole},
                                      {"headerless", &headerless}, {"cut in the items", &cutShort}})
        for (const NameList::Row &row : NameList::dump(*image)) {
            const NameList::Row alone = NameList::dumpEntry(*image, *row.table, row.index);
            check(alone.name == row.name && alone.field == row.field && alone.offset == row.offset
                      && alone.leadingByte == row.leadingByte,
                  name + ": " + NameList::entryLabel(*row.table, row.index));
        }
}

// Each form of the table is found by its name and by its endings in either
// case, and a dump written in it is claimed by it alone and read back, by
// the reader that tells forms apart, as the names the image holds.
void formsReadWhatTheyWrite()
{
    MemoryImage image(pattern(0x300000));
    const std::vector<NameList::Row> rows = NameList::dump(image);
    for (const NameList::Form &form : NameList::forms()) {
        const std::string name(form.name);
        check(NameList::formNamed(form.name) == &form && NameList::formNamed(form.keyword) == &form,
              name + ": found by its name");
        for (const std::string_view each : form.endings) {
            std::string ending(each);
            std::transform(ending.begin(), ending.end(), ending.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
            check(NameList::formForEnding("Names" + ending) == &form, name + ": found by " + ending);
        }
        const NameList::Written written = form.write(rows, {"names", "tst_core"});
        if (!written.made) {
            check(name == "PO" && !written.why.empty(), name + ": not made: " + written.why);
            continue;
        }
        const std::string path = "names" + std::string(form.endings.front());
        const auto claiming = std::count_if(NameList::forms().begin(), NameList::forms().end(), [&](const auto &other) {
            return other.ownCharset == form.ownCharset && other.claims(path, written.text);
        });
        check(NameList::formClaiming(path, written.text, form.ownCharset) == &form && claiming == 1,
              name + ": claims what it writes, alone");
        const NameList::Request request = NameList::read(written.text, path);
        const NameList::Plan plan = NameList::check(image, request, true);
        check(request.unreadable.empty() && request.entries.size() + std::size_t(request.empty) == rows.size()
                  && plan.problems.empty() && plan.changes.empty(),
              name + ": read back as the image's names");
    }
}

void crcIsZlibs()
{
    for (const std::size_t size : {0, 1, 9, 4096, 0x300000}) {
        const Bytes bytes = pattern(size);
        const auto zlib = std::uint32_t(::crc32_z(::crc32_z(0, nullptr, 0), bytes.data(), bytes.size()));
        check(ImageHeader::crc32Portable(bytes) == zlib, "own CRC-32 of " + std::to_string(size) + " bytes");
        check(ImageHeader::crc32(bytes) == zlib, "CRC-32 of " + std::to_string(size) + " bytes");
    }
}

// Blanks as the editor's toolkit counts them, taken off both ends, a
// character of several bytes whole.
void trimmingKeepsWholeCharacters()
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""}, {" \t\r\n", ""}, {"\u00a0 Ax \u3000", "Ax"}, {"caf\u00e9 ", "caf\u00e9"},
        {"\u2028\u00e9\u2003", "\u00e9"}, {"A\u00a0B", "A\u00a0B"}, {"\xff ", "\xff"},
    };
    for (const auto &[text, trimmed] : cases)
        check(Utf8::trimmed(text) == trimmed, "trimmed \"" + std::string(text) + "\"");
}

// What a name in the shell's quotes gives on standard error.
std::string errorsOf(const std::string &folder, const std::string &arguments)
{
    const std::string err = folder + "/err";
    const int status =
        std::system(("cd '" + folder + "' && '" ORVANE_NAMES_EXE "' " + arguments + " >/dev/null 2>'" + err + "'").c_str());
    return status < 0 ? "(not run)" : readFile(err);
}

void placeholdersInNamesStandAsTheyAre(const std::string &folder)
{
    for (const std::string name : {"odd%1.smc", "%2%1.smc", "{}.smc", "{0}%L1.smc"}) {
        writeFile(folder + "/" + name, pattern(0x300000 + 77));
        const std::string info = errorsOf(folder, "info '" + name + "'");
        check(info.starts_with("orvane-names: " + name + ": 3145805 bytes is not"), "info: " + info);
        const std::string set = errorsOf(folder, "set '" + name + "' items 999 Ax");
        check(set.find("items 999: not an index") != std::string::npos, "set: " + set);
        const std::string missing = errorsOf(folder, "dump 'no" + name + "'");
        check(missing == "orvane-names: no" + name + ": No such file or directory\n", "dump: " + missing);
    }
}

// A patch this tool makes reads back to the image it was made from, and a
// damaged one is refused whole with its reason.
void patchesReadBack()
{
    const Bytes source = pattern(0x30000);
    Bytes target = source;
    for (const std::size_t at : {0x10u, 0x11u, 0x200u, 0x2FFFFu})
        target[at] ^= 0x5A;
    std::fill_n(target.begin() + 0x1000, 300, std::uint8_t(7));  // a run
    const Bytes bps = Patch::makeBps(source, target), ips = Patch::makeIps(source, target);
    const auto reason = [&](const Bytes &patch, const Bytes &from) {
        try {
            return Patch::apply(patch, from) == target ? std::string("the target") : std::string("another image");
        } catch (const RomError &e) {
            return e.message();
        }
    };
    const auto changed = [](Bytes bytes, std::size_t at, std::uint8_t value) {
        bytes[at] = value;
        return bytes;
    };
    const auto cut = [](const Bytes &bytes, std::size_t drop) { return Bytes(bytes.begin(), bytes.end() - std::ptrdiff_t(drop)); };
    Bytes farIps = {'P', 'A', 'T', 'C', 'H', 0xFF, 0xFF, 0xF0, 0x00, 0x20};
    farIps.resize(farIps.size() + 0x20, 1);
    for (const char c : std::string("EOF"))
        farIps.push_back(std::uint8_t(c));
    const struct {
        const char *name;
        Bytes patch, from;
        std::string says;
    } cases[] = {
        {"BPS", bps, source, "the target"},
        {"IPS", ips, source, "the target"},
        {"BPS on another image", bps, target, "for the image whose CRC-32 is"},
        {"BPS on an image of another size", bps, cut(source, 512), "for an image of 196608 bytes"},
        {"BPS cut short", cut(bps, 1), source, "damaged or cut short"},
        {"BPS with a byte changed", changed(bps, 20, bps[20] ^ 1), source, "its own CRC-32 says"},
        {"IPS cut short", cut(ips, 4), source, "cut short"},
        {"IPS without its end", cut(ips, 3), source, "cut short"},
        {"IPS past 16 MiB", farIps, source, "past 16 MiB"},
        {"neither", Bytes{'P', 'K', 3, 4}, source, "not a patch"},
    };
    for (const auto &c : cases) {
        const std::string got = reason(c.patch, c.from);
        check(got.find(c.says) != std::string::npos, std::string("patch, ") + c.name + ": " + got);
    }
    const Patch::Contents read = Patch::read(bps);
    check(read.sourceSize == 0x30000 && read.targetSize == 0x30000 && read.sourceCrc == ImageHeader::crc32(source)
              && read.targetCrc == ImageHeader::crc32(target),
          "BPS read back: sizes and CRC-32s");
    const Patch::Contents records = Patch::read(ips);
    std::int64_t covered = 0;
    for (const Patch::Span &span : records.records)
        covered += span.length;
    check(!records.records.empty() && covered == records.bytesWritten && covered >= 304, "IPS read back: its records");
}

// The session every front end in memory uses, driven as the page drives it,
// its image and patch compared with what orvane-names makes of the same work.
void sessionDoesWhatTheCommandDoes(const std::string &folder)
{
    using NameTables::table;
    const auto &characters = table(Category::Characters), &items = table(Category::Items);
    const auto names = [&](const std::string &arguments) {
        return std::system(("cd '" + folder + "' && '" ORVANE_NAMES_EXE "' " + arguments + " 2>/dev/null").c_str());
    };
    for (const bool headered : {true, false}) {
        const std::string what = headered ? "headered: " : "headerless: ";
        const Bytes original = pattern(headered ? 0x300200 : 0x300000);
        Session session;
        check(!session.open("names.zip", Bytes{'P', 'K', 3, 4, 0, 0}).empty() && !session.isOpen(),
              what + "an archive is refused");
        check(session.open("image.smc", original).empty() && session.layout().headered == headered, what + "open");
        check(!session.open("names.zip", Bytes{'P', 'K', 3, 4, 0, 0}).empty() && session.name() == "image.smc",
              what + "a refused open keeps the image");
        // One typed name: refused, changed, then the same bytes again.
        check(!session.set(characters, 1, "Toolongname").empty() && !session.canUndo(), what + "too long is refused");
        check(session.set(characters, 1, "Ax").empty() && session.changedCount() == 1, what + "a name changes");
        const Session::Check same = session.check(characters, 1, "Ax   ");
        check(same.refusal.empty() && !same.changes && same.holds == "Ax", what + "the same bytes change nothing");
        // A list as one step, taken back and put again.
        session.previewList("two.csv", "category,index,name\nitems,0,Slime\nitems,1,Bo\n");
        check(session.applyList().empty() && session.changedCount() == 3, what + "a list applies");
        check(session.undo().size() == 2 && session.changedCount() == 1, what + "undo takes the list back");
        check(session.redo().size() == 2 && session.changedCount() == 3, what + "redo puts it again");
        // A preview made before a later edit is never applied.
        session.previewList("late.csv", "category,index,name\nitems,2,Ax\n");
        session.set(items, 3, "Cy");
        check(!session.applyList().empty() && session.row(items, 2).name != "Ax", what + "a stale preview is refused");
        // The same work through the command gives the same bytes.
        writeFile(folder + "/original.smc", original);
        writeFile(folder + "/edited.smc", original);
        std::ofstream(folder + "/two.csv") << "category,index,name\nitems,0,Slime\nitems,1,Bo\n";
        const int status = names("set edited.smc characters 1 Ax") | names("apply edited.smc two.csv")
                           | names("set edited.smc items 3 Cy");
        check(status == 0 && readFile(folder + "/edited.smc") == textOf(session.image(false)), what + "the image");
        std::filesystem::remove(folder + "/p.bps");
        names("patch original.smc edited.smc p.bps");
        check(readFile(folder + "/p.bps") == textOf(session.patch("BPS", false).bytes), what + "the patch");
        // The names changed since the file was opened, as dump --changed-from lists them.
        const int listed = names("dump --json --only items,characters --changed-from original.smc edited.smc > c.json");
        const NameList::Written changed = session.exportList("JSON", {&items, &characters}, true, false, "");
        check(listed == 0 && readFile(folder + "/c.json") == changed.text, what + "the changed names");
        // The published patch read back beside the original: its names, then
        // one step that undo takes back whole; a preview made before a later
        // edit is never applied.
        const Bytes published = bytesOf(readFile(folder + "/p.bps"));
        Session next;
        next.open("image.smc", original);
        check(next.previewPatch("p.bps", published).changes.size() == 4 && next.applyPatch().empty()
                  && next.image(false) == session.image(false),
              what + "a patch applies");
        check(next.undo().size() == 4 && next.image(false) == original && next.redo().size() == 4,
              what + "undo takes the patch back");
        next.undo();
        next.previewPatch("p.bps", published);
        next.set(items, 4, "Dy");
        check(!next.applyPatch().empty() && next.changedCount() == 1, what + "a stale patch is refused");
        // A second round: the edited image, patched against the original.
        Session round;
        round.open("edited.smc", session.image(false));
        check(round.patchAgainst("original.smc", original).empty()
                  && round.patch("BPS", false).bytes == published,
              what + "a patch against another original");
        // A team's table, as --table FILE reads it: the same bytes as the
        // command, and a refused table keeps the one in use.
        std::ofstream(folder + "/team.tbl") << "C2=\u00e9\nE3=th\n";
        check(session.check(characters, 2, "B\u00e9th").refusal.find("\"Use a character table\"") != std::string::npos,
              what + "the page says what to do with a character without a code");
        check(session.useTable("team.tbl", readFile(folder + "/team.tbl")).empty()
                  && session.useTable("bad.tbl", "C2=\u00e9\nE4=\u00e9\n")
                         == "bad.tbl:2: the text \"\u00e9\" is already byte C2's, on line 1."
                  && session.set(characters, 2, "B\u00e9th").empty()
                  && session.row(characters, 2).name == "B\u00e9th",
              what + "a table writes its own letters");
        check(names("set --table team.tbl edited.smc characters 2 B\u00e9th") == 0
                  && readFile(folder + "/edited.smc") == textOf(session.image(false)),
              what + "a table writes what the command writes");
    }
}

// A glance at a file's first spans shows the rows that opening the whole
// file would, or gives the same refusal, whatever the file holds there.
void glanceShowsWhatOpenShows()
{
    // A cartridge header that looks sound, at the place of one layout.
    const auto withHeader = [](Bytes bytes, std::size_t at) {
        std::copy_n("HERO QUEST DEMO      ", ImageHeader::TitleLength, bytes.begin() + std::ptrdiff_t(at));
        bytes[at + 0x1C] = 0x34, bytes[at + 0x1D] = 0x12, bytes[at + 0x1E] = 0xCB, bytes[at + 0x1F] = 0xED;
        return bytes;
    };
    const auto text = [](std::size_t size, std::size_t at) {
        Bytes bytes(size, 'a');
        // A character across the end of the sample read for text.
        bytes[at] = 0xC3, bytes[at + 1] = 0xA9;
        return bytes;
    };
    const Bytes image = pattern(0x300200);
    const struct {
        const char *name;
        Bytes bytes;
        const char *table;
    } cases[] = {
        {"headered.smc", image, nullptr},
        {"headerless.sfc", Bytes(image.begin() + 512, image.end()), nullptr},
        // The internal header against the size.
        {"by header.smc", withHeader(pattern(0x400000), ImageHeader::TitleAt + 512), nullptr},
        {"by header.sfc", withHeader(pattern(0x400200), ImageHeader::TitleAt), nullptr},
        {"tables ending.smc", Bytes(image.begin(), image.begin() + NameTables::tableEnd(NameTables::All[2])), nullptr},
        {"cut.smc", Bytes(image.begin(), image.begin() + NameTables::tableEnd(NameTables::All[2]) - 1), nullptr},
        {"team.smc", image, "C2=\u00e9\nE3=th\n"},
        {"notes.txt", text(0x300000, 64 * 1024 - 1), nullptr},
        {"notes end.txt", text(64 * 1024 + 2, 64 * 1024), nullptr},
        {"small.smc", Bytes(image.begin(), image.begin() + 40000), nullptr},
        {"names.zip", Bytes{'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}, nullptr},
        {"one.smc", Bytes{1}, nullptr},
        {"empty.smc", Bytes{}, nullptr},
    };
    for (const auto &c : cases) {
        Session glancing, opening;
        if (c.table)
            glancing.useTable("team.tbl", c.table), opening.useTable("team.tbl", c.table);
        Bytes spans;
        for (const PartialImage::Span &span : Session::glanceSpans(std::int64_t(c.bytes.size()))) {
            const auto from = c.bytes.begin() + std::ptrdiff_t(std::min<std::int64_t>(span.offset, c.bytes.size()));
            spans.insert(spans.end(), from, from + std::ptrdiff_t(std::min<std::int64_t>(span.length, c.bytes.end() - from)));
        }
        const Session::Glance glance = glancing.glance(c.name, std::int64_t(c.bytes.size()), spans);
        const std::string why = opening.open(c.name, c.bytes);
        check(glance.refusal == why, std::string(c.name) + ": refused as \"" + glance.refusal + "\", not \"" + why + "\"");
        check(why.empty() ? glance.rows == opening.rows() : glance.rows.empty(),
              std::string(c.name) + ": the rows differ from the whole file's");
    }
}

} // namespace

int main()
{
    char folder[] = "/tmp/orvane-core-XXXXXX";
    if (!::mkdtemp(folder))
        return 2;
    memoryImageActsAsTheFile(folder);
    entryReadAloneIsDumps();
    formsReadWhatTheyWrite();
    crcIsZlibs();
    trimmingKeepsWholeCharacters();
    placeholdersInNamesStandAsTheyAre(folder);
    patchesReadBack();
    sessionDoesWhatTheCommandDoes(folder);
    glanceShowsWhatOpenShows();
    std::filesystem::remove_all(folder);
    std::printf("%s\n", failures == 0 ? "tst_core: all passed" : "tst_core: failures");
    return failures == 0 ? 0 : 1;
}
