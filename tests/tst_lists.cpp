// orvane-names and the lists a translation team's tools make: names that name
// every byte, dry runs, headers and CSV from spreadsheets, PO files through
// gettext's own tools, and files that are no list of names at all.
#include "CoreQt.h"
#include "DemoImage.h"
#include "NameTables.h"
#include "NameText.h"
#include "NamesProgram.h"
#include "TestFiles.h"

#include <QtTest>

using namespace NameTables;

namespace {

// "items 3 D184...": an entry and the bytes its field holds.
QString fieldOf(const QByteArray &image, const NameTable &t, int index)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(t.name))
        .arg(index)
        .arg(QString::fromLatin1(image.mid(nameOffset(t, index), t.nameLength).toHex().toUpper()));
}

// Every field whose bytes differ between the two images, as fieldOf shows them in after.
QStringList changedFields(const QByteArray &before, const QByteArray &after)
{
    QStringList changed;
    for (const NameTable &t : All)
        for (int i = 0; i < t.entries; ++i)
            if (fieldOf(before, t, i) != fieldOf(after, t, i))
                changed += fieldOf(after, t, i);
    return changed;
}

Run tool(const QString &program, const QStringList &args)
{
    return start(program, args, {});
}

} // namespace

class ListsTest : public QObject, ScratchImages {
    Q_OBJECT

private slots:
    void init() { image = file(QStringLiteral("image.smc"), demo.bytes); }

    // Every pair of bytes through the codec; then fields that hold every byte
    // value at every place, dumped in each form and given back to another
    // image, which then holds exactly those bytes.
    void everyFieldContentRoundTrips()
    {
        for (int pair = 0; pair < 0x10000; ++pair) {
            const QByteArray bytes = QByteArray(1, char(pair >> 8)) + char(pair);
            if (toQ(NameText::encode(NameText::fromField(toBytes(bytes))).bytes) != bytes)
                QFAIL(NameText::fromField(toBytes(bytes)).c_str());
        }
        QByteArray generated = demo.bytes;
        for (std::size_t t = 0; t < All.size(); ++t)
            for (int i = 0; i < All[t].entries; ++i)
                for (int p = 0; p < All[t].nameLength; ++p)
                    generated[nameOffset(All[t], i) + p] = char(i * 7 + p * 37 + int(t) * 13);
        const QString source = file("generated.smc", generated);
        for (const QString form : {"--tsv", "--csv", "--json", "--po"}) {
            // A full list would leave every name as the other image holds it:
            // each is what its field held when the list was made.
            const QString target = file("target.smc", demo.bytes);
            QByteArray list = run(QStringList{"dump", "--changed-from", target, form, source}.filter(
                                      QRegularExpression("^(?!--tsv)")))
                                  .out;
            if (form == "--po")
                list = tool("msgen", {file("names.po", list)}).out;
            const Run applied = run({"apply", target, file("names" + form, list)});
            QCOMPARE(applied.code, 0);
            QCOMPARE(readAll(target), generated);
        }
        // set of a name as dumped writes the bytes it came from.
        for (const int index : {DemoImage::CharacterWithVanishingByte, 52}) {
            const QString name = QString::fromUtf8(run({"dump", source}).out.split('\n').at(index).split('\t').at(3));
            QCOMPARE(run({"set", image, "characters", QString::number(index), name}).code, 0);
            QCOMPARE(fieldOf(readAll(image), table(Category::Characters), index),
                     fieldOf(generated, table(Category::Characters), index));
        }
    }

    void dryRunListsWhatARealRunDoes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("code");
        QTest::newRow("apply") << QStringList{"apply", "IMAGE", "LIST"}
                               << QByteArray("characters\t0\t-\tAx\nmonsters\t2\t-\t<$00>Slime\n"
                                             "magic\t1\t2A\tIce\nitems\t3\t24\t\u2026Ether\n")
                               << 0;
        QTest::newRow("set") << QStringList{"set", "IMAGE", "items", "3", "\u2026Ax<$d2>"} << QByteArray() << 0;
        QTest::newRow("refused alike") << QStringList{"apply", "IMAGE", "LIST"}
                                       << QByteArray("characters\t0\t-\tAx\ncharacters\t1\t-\tWarrior\n") << 2;
    }

    void dryRunListsWhatARealRunDoes()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, list);
        QFETCH(int, code);
        args.replaceInStrings(QRegularExpression("^IMAGE$"), image);
        args.replaceInStrings(QRegularExpression("^LIST$"), file("list.txt", list));
        const Run dry = run(QStringList{args.first(), "--dry-run"} + args.mid(1));
        QCOMPARE(readAll(image), demo.bytes);
        const Run real = run(args);
        QCOMPARE(dry.code, code);
        QCOMPARE(real.code, code);
        const QStringList changed = changedFields(demo.bytes, readAll(image));
        if (code != 0) {
            QCOMPARE(dry.err, real.err);
            QVERIFY(changed.isEmpty());
            return;
        }
        // Each line: category, index, old name, new name, old bytes, new bytes;
        // the names are the bytes' text.
        QStringList listed, old;
        for (const QByteArray &line : dry.out.split('\n')) {
            const QList<QByteArray> columns = line.split('\t');
            if (columns.size() != 6)
                continue;
            listed += QString::fromUtf8(columns[0] + ' ' + columns[1] + ' ' + columns[5]);
            old += QString::fromUtf8(columns[0] + ' ' + columns[1] + ' ' + columns[4]);
            for (const int k : {2, 3})
                QCOMPARE(toQ(NameText::encode(columns[k].toStdString()).bytes).toHex().toUpper(), columns[k + 2]);
        }
        QCOMPARE(dry.out.count('\n'), listed.size());
        QCOMPARE(listed, changed);
        QCOMPARE(old, changedFields(readAll(image), demo.bytes));
        QVERIFY2(dry.err.contains(QByteArray::number(listed.size()) + " name(s) would change"), dry.err.constData());
    }

    void listsFromOtherTools_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("changes");
        const QStringList changes = {"characters 0 80C681FFFFFF", "items 4 8BA8A7A0C6FF92B0A8AB9DFF"};
        QTest::newRow("header, notes, comments, CRLF, BOM")
            << "names.tsv"
            << QByteArray("\xEF\xBB\xBFNotes\tNAME\tIndex\tCategory\r\n# from the team\r\n\r\n"
                          "short, please\tA,B\t0\tcharacters\r\n\tLong, Sword\t4\titems\r\n")
            << 0 << "2 name(s) changed" << changes;
        QTest::newRow("CSV, quoted commas, quotes and line breaks")
            << "names.csv"
            << QByteArray("category,index,name,notes\r\ncharacters,0,\"A,B\",\"say \"\"ah\"\",\r\nthen stop\"\r\n"
                          "items,4,\"Long, Sword\",\r\n")
            << 0 << "2 name(s) changed" << changes;
        QTest::newRow("CSV by semicolons")
            << "names.txt" << QByteArray("Category;Index;Name\ncharacters;0;\"A,B\"\n") << 0 << "1 name(s) changed"
            << QStringList{changes.first()};
        QTest::newRow("JSON after a BOM")
            << "names.json"
            << QByteArray("\xEF\xBB\xBF[{\"category\": \"characters\", \"index\": 0, \"name\": \"A,B\"}]") << 0
            << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("JSON key twice")
            << "names.json"
            << QByteArray("[{\"category\": \"characters\", \"index\": 5, \"name\": \"Ax\", "
                          "\"category\": \"items\"}]")
            << 2 << "entry 1: The key \"category\" is given twice." << QStringList();
        QTest::newRow("JSON index not whole")
            << "names.json"
            << QByteArray("[{\"category\": \"magic\", \"index\": 0.99999999999999999999, \"name\": \"Ax\"}]") << 2
            << "Index \"0.99999999999999999999\" is not an entry of magic" << QStringList();
        QTest::newRow("not UTF-8")
            << "names.tsv" << QByteArray("characters\t1\t-\tAx\ncharacters\t0\t-\tAb\xE9" "c\n") << 2
            << "names.tsv: line 2 is not UTF-8 text (saved as Windows-1252, perhaps): save the list as UTF-8 "
               "(\"CSV UTF-8\" in a spreadsheet) or as UTF-16 (\"Unicode text\") and give it again; nothing was "
               "written."
            << QStringList();
        // What the field held when the list was made: bytes a spreadsheet
        // turned into a number are no base, and refused; past the end, none.
        QTest::newRow("a bytes column that is not the field's bytes")
            << "names.tsv" << QByteArray("characters\t0\t-\tAx\t8.8E+11\n") << 2
            << "names.tsv:1: characters 0: the bytes \"8.8E+11\" are not the field's 6 bytes in hex" << QStringList();
        QTest::newRow("bytes past the end of the image are no base")
            << "names.csv" << QByteArray("characters;0;-;A,B;6;879EAB------\n") << 0 << "1 name(s) changed"
            << QStringList{changes.first()};
        // As translators' tools write lists, and as earlier versions did.
        // Windows' "Unicode" text, here with a header that puts the name first.
        const QString utf16 = QStringLiteral("name\tcategory\tindex\r\n#1\tcharacters\t0\r\n");
        QTest::newRow("earlier text of the field, left alone")
            << "names.tsv" << QByteArray("items\t3\t24\t...EtherPlus\n") << 0
            << "items 3: \"...EtherPlus\" is how earlier versions showed" << QStringList();
        QTest::newRow("full stops as given")
            << "names.tsv" << QByteArray("items\t3\t24\t<$C5>.<$c5>EtherPlus\n") << 0 << "1 name(s) changed"
            << QStringList{"items 3 C5C5C584ADA19EAB8FA5AEAC"};
        QTest::newRow("blanks at the end are padding")
            << "names.tsv" << QByteArray("characters\t0\t-\tMagier  \n") << 0 << "1 name(s) changed"
            << QStringList{"characters 0 8C9AA0A29EAB"};
        QTest::newRow("an empty cell leaves the name")
            << "names.csv" << QByteArray("category,index,name\ncharacters,0,\nitems,4,\"Long, Sword\"\n") << 0
            << "1 entr(ies) with an empty name left alone" << QStringList{changes.last()};
        QTest::newRow("tabs and quoted cells in a .csv")
            << "names.csv" << QByteArray("\"category\"\t\"index\"\t\"name\"\r\n\"characters\"\t\"0\"\t\"A,B\"\r\n")
            << 0 << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("semicolons without a header")
            << "names.csv" << QByteArray("characters;0;-;A,B;6;\n") << 0 << "1 name(s) changed"
            << QStringList{changes.first()};
        QTest::newRow("UTF-16 with a byte-order mark")
            << "names.txt"
            << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), 2 * utf16.size())
            << 0 << "1 name(s) changed" << QStringList{"characters 0 C9B5FFFFFFFF"};
        QTest::newRow("a comment with a quote is no row")
            << "names.csv" << QByteArray("category,index,name\n# say, \"hi\ncharacters,0,\"A,B\"\n") << 0
            << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("PO in another charset")
            << "names.po"
            << QByteArray("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CP1252\\n\"\n\n# caf\xE9\n"
                          "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"A,B\"\n")
            << 0 << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("JSON object for an array") << "names.json" << QByteArray("{\"category\": \"items\"}") << 2
                                                  << "the JSON is an object, where a list of names is an array"
                                                  << QStringList();
        QTest::newRow("an image for the list") << "image.smc" << demo.bytes << 2
                                               << "were IMAGE and FILE given the wrong way round?" << QStringList();
        QTest::newRow("many bad lines") << "names.tsv" << QByteArray("weapons\t0\t-\tAx\n").repeated(30) << 2
                                        << "names.tsv: and 10 more problem(s)." << QStringList();
        // Only the first problems are kept, whatever the form; the rest are counted.
        QTest::newRow("many bad entries, JSON")
            << "names.json"
            << "[" + QByteArray("{\"category\": \"weapons\", \"index\": 0, \"name\": \"Ax\"},").repeated(100000)
                   + "7]"
            << 2 << "names.json: and 99981 more problem(s).\n" << QStringList();
        QByteArray manyPo;
        for (int k = 0; k < 100000; ++k)
            manyPo += "msgctxt \"weapons " + QByteArray::number(k) + "\"\nmsgid \"Ax\"\nmsgstr \"Bo\"\n\n";
        QTest::newRow("many bad entries, PO")
            << "names.po" << manyPo << 2 << "nothing was written (100000 problem(s))" << QStringList();
        // Lines of blanks are blank lines, in every form of columns.
        QTest::newRow("lines of blanks")
            << "names.tsv" << QByteArray("characters\t0\t-\tA,B\n  \n\t \t\nitems\t4\t24\tLong, Sword\n \t") << 0
            << "2 name(s) changed" << changes;
        QTest::newRow("CSV rows of blanks")
            << "names.csv" << QByteArray("category,index,name\r\n , ,\t\r\n   \r\ncharacters,0,\"A,B\"\r\n") << 0
            << "1 name(s) changed" << QStringList{changes.first()};
        // Lines that end in CR alone, as old spreadsheets save them.
        QTest::newRow("CR alone, CSV")
            << "names.csv"
            << QByteArray("category,index,name,notes\rcharacters,0,\"A,B\",\"two\rlines\"\r\r# note\ritems,4,\"Long, Sword\",x\r")
            << 0 << "2 name(s) changed" << changes;
        QTest::newRow("CR alone, lines")
            << "names.tsv" << QByteArray("characters\t0\t-\tA,B\r# note\ritems\t4\t24\tLong, Sword") << 0
            << "2 name(s) changed" << changes;
        QTest::newRow("CR alone, lines counted")
            << "names.tsv" << QByteArray("characters\t0\t-\tAx\r\n\r\"a\rb\"\t0\t-\tAx\rweapons\t0\t-\tAx\r") << 2
            << "names.tsv:5: Unknown category \"weapons\"" << QStringList();
        // A name of blanks, or <$FF>, blanks a field whose bytes show no characters.
        QTest::newRow("blanks over bytes without characters")
            << "names.tsv"
            << QByteArray("monsters\t") + QByteArray::number(DemoImage::MonsterWithNoCharacters) + "\t-\t   \n" << 0
            << "1 name(s) changed" << QStringList{"monsters 2 FFFFFFFFFFFFFFFFFFFF"};
        QTest::newRow("<$FF> over bytes without characters")
            << "names.json"
            << QByteArray("[{\"category\": \"monsters\", \"index\": 2, \"name\": \"<$FF>\"}]") << 0
            << "1 name(s) changed" << QStringList{"monsters 2 FFFFFFFFFFFFFFFFFFFF"};
        // The header as gettext reads it, wrapped as msgcat -w 30 writes it:
        // read as UTF-8, the comment's Latin-1 byte would refuse the file.
        const QByteArray latin1 = "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: names\\n\"\n"
                                  "\"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n"
                                  "\"Content-Transfer-Encoding: 8bit\\n\"\n\n"
                                  "# caf\xE9 au lait\nmsgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"A,B\"\n";
        const QByteArray wrapped = tool("msgcat", {"-w", "30", file("latin1.po", latin1)}).out;
        QTest::newRow("PO header wrapped, Latin-1")
            << "names.po" << wrapped << (wrapped.contains("\"charset=ISO-8859-1\\n\"") ? 0 : -1)
            << "1 name(s) changed" << QStringList{changes.first()};
        // Lengths that took a regular expression's stack or time.
        const QByteArray header = "msgid \"\"\nmsgstr \"X-Note: " + QByteArray(50000, 'a')
                                + "\\nContent-Type: text/plain; charset=CP1252\\n\"\n\n# caf\xE9\n";
        const QByteArray poEntry = "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"A,B\"\n";
        QTest::newRow("PO header line of 50,000 characters")
            << "names.po" << header + poEntry << 0 << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("PO of many Content-Type comments")
            << "names.po" << QByteArray("#Content-Type: charset=\n").repeated(20000) + poEntry << 0
            << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("JSON index of 50,000 digits")
            << "names.json"
            << "[{\"category\": \"characters\", \"index\": 0." + QByteArray(50000, '0') + ", \"name\": \"A,B\"}]"
            << 0 << "1 name(s) changed" << QStringList{changes.first()};
        QTest::newRow("JSON number of 50,000 digits")
            << "names.json"
            << "[{\"category\": \"characters\", \"index\": 1" + QByteArray(50000, '0') + ", \"name\": \"A,B\"}]"
            << 2 << "not valid JSON: number overflow" << QStringList();
    }

    void listsFromOtherTools()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QStringList, changes);
        if (code < 0)
            QSKIP("this gettext's msgcat does not wrap the header's charset on a line of its own");
        const QString target = file("target.smc", demo.bytes);
        const Run applied = run({"apply", "--allow-blanks", target, file(name, content)});
        QCOMPARE(applied.code, code);
        QVERIFY2(QString::fromUtf8(applied.err).contains(message), applied.err.constData());
        QCOMPARE(changedFields(demo.bytes, readAll(target)), changes);
        // A refusal is short: at most 20 problems, then one line each for the rest and the outcome.
        if (code != 0)
            QVERIFY(applied.err.count('\n') <= 22);
        if (name == "image.smc")
            QCOMPARE(applied.err.count('\n'), 1);
    }

    // PO files of the kinds a team's platform and gettext's tools make, each
    // first judged by gettext's msgfmt --check. A file it accepts gives the
    // same result as gettext's UTF-8 version of it (msgconv) and as its lines
    // wrapped by msgcat -w 30; a file it refuses is refused at its line.
    void poFilesAsGettextReadsThem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("gettextAccepts");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("changes");
        const auto header = [](const char *charset) {
            return "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: names\\n\"\n\"Content-Type: text/plain; charset="
                 + QByteArray(charset) + "\\n\"\n\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\n";
        };
        const QByteArray axe = "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"A,B\"\n";
        const QString first = "characters 0 80C681FFFFFF";
        QTest::newRow("ISO-8859-1, a translator's comment, the dump's comment")
            << header("ISO-8859-1") + "# caf\xE9 au lait\n#. 6 bytes at 0x47AC0: 879EABA8FFFF; one per character\n"
                   + axe + "\nmsgctxt \"characters 1\"\nmsgid \"Rogue\"\nmsgstr \"Ren\xE9\"\n"
            << true << 2 << "entry 2: characters 1: The name has characters without a code: \"\u00E9\"" << QStringList();
        QTest::newRow("Windows-1252 with CRLF, continued strings and escapes")
            << QByteArray(header("CP1252") + "# na\xEFve\nmsgctxt \"items 4\"\nmsgid \"Ether\"\nmsgstr \"\"\n"
                          "\"Long, \\x53\" \"word\"\n\n" + QByteArray(axe).replace("A,B", "A\\054B"))
                   .replace("\n", "\r\n")
            << true << 0 << "2 name(s) changed" << QStringList{first, "items 4 8BA8A7A0C6FF92B0A8AB9DFF"};
        QTest::newRow("ISO-8859-15")
            << header("ISO-8859-15") + "# \xA4 \xBD\n" + axe << true << 0 << "1 name(s) changed" << QStringList{first};
        QTest::newRow("fuzzy and obsolete entries")
            << header("UTF-8") + "#, fuzzy\nmsgctxt \"characters 1\"\nmsgid \"Rogue\"\nmsgstr \"Bo\"\n\n"
                   "#, fuzzy\n#~ msgctxt \"characters 3\"\n#~ msgid \"Kai\"\n#~ msgstr \"Bo\"\n\n"
                   "#~ msgctxt \"characters 2\"\n#~ msgid \"Kai\"\n#~ msgstr \"Ax\"\n\n" + axe
            << true << 0 << "1 fuzzy entr(ies) left out" << QStringList{first};
        QTest::newRow("a plural entry")
            << header("UTF-8") + axe + "\nmsgctxt \"items 1\"\nmsgid \"Potion\"\nmsgid_plural \"Potions\"\n"
                   "msgstr[0] \"Ax\"\nmsgstr[1] \"Axes\"\n"
            << true << 2 << "entry 2: A plural entry names no entry of the image." << QStringList();
        QTest::newRow("max-length flags, a name past its field")
            << header("UTF-8") + "#, max-length:6\n" + axe + "\n#, no-wrap, max-length:6\nmsgctxt \"characters 1\"\n"
                   "msgid \"Rogue\"\nmsgstr \"Warrior\"\n"
            << true << 2 << "entry 2: characters 1: The name \"Warrior\" needs 7 bytes" << QStringList();
        QTest::newRow("a header that declares no charset it can be read in")
            << header("EUC-JP") + axe << true << 2 << "declares the charset EUC-JP" << QStringList();
        QTest::newRow("a string not closed")
            << header("UTF-8") + "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"A,B\n" << false << 2
            << "line 10: end-of-line within string" << QStringList();
        QTest::newRow("an entry without its msgstr")
            << header("UTF-8") + "msgctxt \"characters 0\"\nmsgid \"Hero\"\n\n" + axe << false << 2
            << "line 8: missing 'msgstr' section" << QStringList();
        QTest::newRow("an unknown keyword")
            << header("UTF-8") + "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgtxt \"A,B\"\n" << false << 2
            << "line 9: keyword \"msgtxt\" unknown" << QStringList();
    }

    void poFilesAsGettextReadsThem()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, gettextAccepts);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QStringList, changes);
        const QString original = file("names.po", content);
        const Run check = tool("msgfmt", {"--check", "-o", "/dev/null", original});
        QVERIFY2((check.code == 0) == gettextAccepts, check.err.constData());
        QList<QByteArray> versions{content};
        if (gettextAccepts && !message.contains("declares the charset"))
            for (const QStringList &args : {QStringList{"msgconv", "-t", "UTF-8"}, QStringList{"msgcat", "-w", "30"}}) {
                const Run made = tool(args.first(), args.mid(1) << original);
                QVERIFY2(made.code == 0, made.err.constData());
                versions += made.out;
            }
        for (const QByteArray &version : versions) {
            const QString target = file("target.smc", demo.bytes);
            const Run applied = run({"apply", target, file("version.po", version)});
            QCOMPARE(applied.code, code);
            QVERIFY2(QString::fromUtf8(applied.err).contains(message), applied.err.constData());
            QCOMPARE(changedFields(demo.bytes, readAll(target)), changes);
        }
    }

    // A dump gettext's msgfmt --check accepts; filled by msgen it changes
    // nothing; edited, it writes what was edited but the fuzzy entry.
    void poFilesThroughGettextTools()
    {
        const QString dumped = file("names.po", run({"dump", "--po", image}).out);
        const Run check = tool("msgfmt", {"--check", "-o", "/dev/null", dumped});
        QCOMPARE(check.code, 0);
        QVERIFY2(!check.err.contains("error"), check.err.constData());
        // Written as gettext writes it, byte for byte: msgcat gives it back
        // as it is (but for the flag max-length, which it does not know), for
        // names of every byte and a file name whose header line is wrapped
        // at its breaks, escaped as messages show it.
        QByteArray every = demo.bytes;
        for (const NameTable &t : All)
            for (int i = 0; i < t.entries; ++i)
                for (int p = 0; p < t.nameLength; ++p)
                    every[nameOffset(t, i) + p] = char(i * 7 + p * 37 + t.nameLength * 13);
        for (const QString &name : {QString("every byte.smc"),
                                    QString("Team \"Ax\" \\ Hero Quest - (Rev 1) [Translated] v1.2.3, the very last.smc"),
                                    QString("\u00E9\u2026%1-9|9.9;Slime}9.smc").arg(QString(60, 'x'))}) {
            const Run own = run({"dump", "--po", file(name, every)});
            const Run gettext = tool("msgcat", {file("own.po", own.out)});
            QCOMPARE(QString::fromUtf8(gettext.out),
                     QString::fromUtf8(own.out).remove(QRegularExpression("#, max-length:\\d+\n")));
        }
        QByteArray filled = tool("msgen", {dumped}).out;
        // Every name as the list found it: none is the list's to write.
        const QString filledPath = file("filled.po", filled);
        QCOMPARE(run({"apply", image, filledPath}).err,
                 "orvane-names: " + filledPath.toUtf8()
                     + ": 758 name(s) unchanged since the list was made, left as the image holds them.\n"
                     + "orvane-names: " + image.toUtf8() + ": 0 name(s) changed.\n");

        filled.replace("msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"Hero\"",
                       "msgctxt \"characters 0\"\nmsgid \"Hero\"\nmsgstr \"Ax\"");
        filled.replace("msgstr \"\u2026EtherPlus\"", "msgstr \"Ax\u2026\"");
        filled.replace("msgctxt \"monsters 1\"", "#, fuzzy\nmsgctxt \"monsters 1\"");
        filled.replace("msgstr \"Goblin\"", "msgstr \"Orc\"");
        const QString edited = file("edited.po", filled);
        QCOMPARE(tool("msgattrib", {"--only-fuzzy", "--no-wrap", edited}).out.count("msgctxt "), 1);
        const Run applied = run({"apply", image, edited});
        QCOMPARE(applied.code, 0);
        QVERIFY2(applied.err.contains("1 fuzzy entr(ies) left out"), applied.err.constData());
        QCOMPARE(changedFields(demo.bytes, readAll(image)),
                 QStringList({"characters 0 80B1FFFFFFFF", "items 3 80B1D1FFFFFFFFFFFFFFFFFF"}));
    }
};

QTEST_GUILESS_MAIN(ListsTest)
#include "tst_lists.moc"
