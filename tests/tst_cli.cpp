// orvane-names: the dump against the builder's names, apply's all-or-nothing
// checks, set against the editor's Save, and the exit status of the program.
#include "CoreQt.h"
#include "DemoImage.h"
#include "GetText.h"
#include "NameList.h"
#include "NameTables.h"
#include "NameText.h"
#include "lists/TextList.h"
#include "NamesProgram.h"
#include "PatchReader.h"
#include "ProgramVersion.h"
#include "RomError.h"
#include "RomFile.h"
#include "StandIns.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace NameTables;

class CliTest : public QObject, ScratchImages {
    Q_OBJECT

private slots:
    void init() { image = file(QStringLiteral("image.smc"), demo.bytes); }

    void dumpGivesTheBuilderNamesInTableOrder()
    {
        RomFile rom;
        QVERIFY(rom.open(native(image)));
        const std::vector<NameList::Row> rows = NameList::dump(rom);
        QCOMPARE(rows.size(), std::size_t(64 + 384 + 54 + 256));
        std::size_t r = 0;
        for (std::size_t t = 0; t < All.size(); ++t) {
            for (int i = 0; i < All[t].entries; ++i, ++r) {
                const NameList::Row &row = rows[r];
                QCOMPARE(row.table, &All[t]);
                QCOMPARE(row.index, i);
                // The editor's text, and the dump's, which names every byte.
                QCOMPARE(toQ(GetText::DecodeName(row.field)), demo.tables[t][std::size_t(i)].decoded);
                QCOMPARE(NameText::encode(row.name).bytes, row.field);
                QCOMPARE(row.leadingByte, All[t].hasLeadingByte
                                              ? std::optional(demo.tables[t][std::size_t(i)].leadingByte)
                                              : std::nullopt);
                QCOMPARE(toQ(row.field), demo.bytes.mid(nameOffset(All[t], i), All[t].nameLength));
            }
        }

        const Run dump = run({"dump", image});
        QCOMPARE(dump.code, 0);
        const QList<QByteArray> lines = dump.out.split('\n');
        QCOMPARE(lines.size(), qsizetype(rows.size() + 1));
        QCOMPARE(lines.first(), QByteArray("characters\t0\t-\tHero  \t879EABA8FFFF"));
        // The ellipsis as one character, bytes without one as <$XX>; trailing blanks kept.
        QCOMPARE(lines.at(64 + 384 + 54 + DemoImage::ItemWithEllipsis),
                 QByteArray("items\t3\t24\t\u2026EtherPlus  \tD184ADA19EAB8FA5AEACFFFF"));
        QCOMPARE(lines.at(64 + DemoImage::MonsterWithNoCharacters),
                 QByteArray("monsters\t2\t-\t<$00><$7F><$C2><$D2><$FE><$01><$40><$C2><$E0><$D9>\t007FC2D2FE0140C2E0D9"));

        const Run json = run({"dump", "--json", image});
        QCOMPARE(json.code, 0);
        const QJsonArray array = QJsonDocument::fromJson(json.out).array();
        QCOMPARE(array.size(), qsizetype(rows.size()));
        QCOMPARE(array.at(0).toObject().value("leadingByte"), QJsonValue());
        const QJsonObject magic = array.at(64 + 384 + 1).toObject();
        QCOMPARE(magic.value("category").toString(), QStringLiteral("magic"));
        QCOMPARE(magic.value("index").toInt(), 1);
        QCOMPARE(magic.value("leadingByte").toString(), QStringLiteral("2A"));
        QCOMPARE(magic.value("name").toString(), QStringLiteral("Ice   "));
        QCOMPARE(magic.value("bytes").toString(), QStringLiteral("889C9EFFFFFF"));
    }

    void dumpThenApplyRoundTrips()
    {
        const QString list = dir.filePath("names.txt");
        QVERIFY(writeAll(list, run({"dump", image}).out));
        Run applied = run({"apply", image, list});
        QCOMPARE(applied.code, 0);
        // Every name is still what the field held when the list was made.
        QCOMPARE(applied.err, "orvane-names: " + list.toUtf8() + ": 758 name(s) unchanged since the list was made, "
                                  "left as the image holds them.\norvane-names: " + image.toUtf8()
                                  + ": 0 name(s) changed.\n");
        // Entries that decode lossily would change if written back.
        QCOMPARE(readAll(image), demo.bytes);

        // Trailing blanks trimmed away change nothing; nor does the "..." of
        // an earlier dump become three full stops because its name now fits.
        const QByteArray trimmed = QString::fromUtf8(readAll(list))
                                       .replace(QRegularExpression(" +\t"), "\t")
                                       .replace(u'\u2026', "...")
                                       .toUtf8();
        QVERIFY(trimmed.contains("items\t3\t24\t...EtherPlus\t"));
        applied = run({"apply", image, "-"}, trimmed);
        QVERIFY2(applied.err.endsWith("orvane-names: " + image.toUtf8() + ": 0 name(s) changed.\n")
                     && applied.err.contains("items 3: \"...EtherPlus\" is how earlier versions showed"),
                 applied.err.constData());
        QCOMPARE(readAll(image), demo.bytes);

        // Two edits, one from standard input with Windows line ends: only those fields change.
        QByteArray edited = readAll(list);
        edited.replace("characters\t0\t-\tHero  \t", "characters\t0\t-\tAx\t");
        edited.replace("\n", "\r\n");
        edited.replace("monsters\t5\t-\tOrc Chief ", "monsters\t5\t-\tSlime");
        applied = run({"apply", image, "-"}, edited);
        QCOMPARE(applied.code, 0);
        QVERIFY2(applied.err.endsWith("orvane-names: " + image.toUtf8() + ": 2 name(s) changed.\n"),
                 applied.err.constData());
        QByteArray expected = demo.bytes;
        expected.replace(0x47AC0, 6, "\x80\xB1\xFF\xFF\xFF\xFF");
        expected.replace(nameOffset(table(Category::Monsters), 5), 10,
                         "\x92\xA5\xA2\xA6\x9E\xFF\xFF\xFF\xFF\xFF");
        QCOMPARE(readAll(image), expected);
    }

    void everyBadLineIsReportedAndNothingIsWritten()
    {
        // A file that ends inside the item table's range: characters fit, items do not.
        const QString shortImage = file("short.smc", demo.bytes.left(0x100000));
        RomFile rom;
        QVERIFY(rom.open(native(shortImage)));
        const QString text = QStringLiteral(
            "characters\t0\t-\tAx\n"                    // 1: fine
            "\n"
            "weapons\t0\t-\tAx\n"                       // 3
            "characters\t64\t-\tAx\n"                   // 4
            "characters\t-1\t-\tAx\n"                   // 5
            "monsters\t1\t-\tSea-Serpent\n"             // 6: 11 for 10
            "magic\t0\t05\tFi&re\n"                     // 7
            "characters\t1\tAx\n"                       // 8
            "characters\t0\t-\tHero\n"                  // 9
            "items\t0\t03\tAx\n"                        // 10: beyond the end
            "characters\t2\t-\t5%1%2ab\n");             // 11
        const NameList::Plan plan = NameList::check(rom, NameList::Text::read(toStd(text)), false);
        const QList<QPair<int, QString>> expected = {
            {3, "Unknown category \"weapons\""},
            {4, "Index \"64\" is not an entry of characters (0 to 63)."},
            {5, "Index \"-1\""},
            {6, "monsters 1: The name \"Sea-Serpent\" needs 11 bytes and the field holds 10."},
            {7, "magic 0: The name has characters without a code: \"&\""},
            {8, "found 3 column(s)"},
            {9, "characters 0 is already given on line 1."},
            {10, "items 0: The name field at offset 0x12b501 lies beyond the end"},
            {11, "characters 2: The name \"5%1%2ab\" needs 7 bytes"},
        };
        QCOMPARE(plan.problems.size(), std::size_t(expected.size()));
        for (std::size_t k = 0; k < plan.problems.size(); ++k) {
            QCOMPARE(plan.problems[k].line, expected[qsizetype(k)].first);
            QVERIFY2(toQ(plan.problems[k].reason).contains(expected[qsizetype(k)].second),
                     plan.problems[k].reason.c_str());
        }
        QVERIFY_THROWS_EXCEPTION(RomError, NameList::apply(rom, plan));
        rom.close();
        QCOMPARE(readAll(shortImage), demo.bytes.left(0x100000));

        // The program with one good and one bad line: the good one is not written either.
        const QString list = file("bad.txt", "characters\t0\t-\tAx\nitems\t3\t24\tAx\u00e9\n");
        const Run applied = run({"apply", image, list});
        QCOMPARE(applied.code, 2);
        QVERIFY2(applied.err.contains(list.toUtf8() + ":2: items 3: The name has characters without a code: \"\xC3\xA9\""),
                 applied.err.constData());
        QCOMPARE(readAll(image), demo.bytes);
        // With blanks allowed the same list goes in.
        QCOMPARE(run({"apply", "--allow-blanks", image, list}).code, 0);
        QCOMPARE(readAll(image).mid(nameOffset(table(Category::Items), 3), 12),
                 QByteArray("\x80\xB1\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"));
    }

    void setWritesWhatTheEditorsSaveWrites_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("short name") << "characters" << 0 << "Slime";
        QTest::newRow("empty over lossy bytes") << "characters" << DemoImage::CharacterWithVanishingByte << "";
        QTest::newRow("full field") << "magic" << 53 << "Quake2";
        QTest::newRow("uncoded kept blank") << "items" << 255 << "A&B\u00e9 Sword";
        // Bytes decide: the editor's text of a field is not the field.
        QTest::newRow("full stops over the ellipsis") << "items" << DemoImage::ItemWithEllipsis << "...EtherPlus";
        QTest::newRow("over a byte without a character") << "characters" << DemoImage::CharacterWithVanishingByte << "Hero";
        // A name of blanks blanks every field, one that shows no characters too.
        QTest::newRow("blanks over bytes without characters") << "monsters" << DemoImage::MonsterWithNoCharacters << "   ";
    }

    void setWritesWhatTheEditorsSaveWrites()
    {
        QFETCH(QString, category);
        QFETCH(int, index);
        QFETCH(QString, name);
        const NameTable &t = *NameList::tableNamed(toStd(category));
        const QString saved = file("saved.smc", demo.bytes);
        {
            RomFile rom;
            QVERIFY(rom.open(native(saved)));
            const std::int32_t offset = nameOffset(t, index);
            GetText::WriteName(rom, offset, std::string(std::size_t(t.nameLength), ' '), t.nameLength);
            GetText::WriteName(rom, offset, toStd(name), t.nameLength);
        }
        const Run set = run({"set", "--allow-blanks", image, category, QString::number(index), name});
        QCOMPARE(set.code, 0);
        QVERIFY(set.err.isEmpty());
        const QByteArray after = readAll(image);
        QCOMPARE(after, readAll(saved));
        QCOMPARE(after.left(nameOffset(t, index)), demo.bytes.left(nameOffset(t, index)));
        QCOMPARE(after.mid(nameOffset(t, index) + t.nameLength), demo.bytes.mid(nameOffset(t, index) + t.nameLength));
    }

    void exitStatusAndMessages_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString img = QStringLiteral("IMAGE");
        QTest::newRow("no command") << QStringList{} << 1 << "no command given";
        QTest::newRow("unknown command") << QStringList{"rename", img} << 1 << "unknown command \"rename\"";
        QTest::newRow("unknown option") << QStringList{"dump", "--fast", img} << 1 << "fast";
        QTest::newRow("missing argument") << QStringList{"set", img, "items", "3"} << 1 << "set takes 4 argument(s), not 3";
        QTest::newRow("json with set") << QStringList{"set", "--json", img, "items", "3", "Ax"} << 1 << "--json";
        QTest::newRow("missing image") << QStringList{"dump", "nothere.smc"} << 2 << "nothere.smc: No such file or directory";
        QTest::newRow("directory") << QStringList{"dump", "."} << 2 << ".: Is a directory";
        QTest::newRow("missing list") << QStringList{"apply", img, "nothere.txt"} << 2 << "nothere.txt: ";
        QTest::newRow("unknown category") << QStringList{"set", img, "weapons", "0", "Ax"} << 2 << "weapons: unknown category";
        QTest::newRow("index past end") << QStringList{"set", img, "magic", "54", "Ax"} << 2 << "magic 54: not an index of magic (0 to 53)";
        QTest::newRow("too long") << QStringList{"set", img, "characters", "1", "Warrior"} << 2 << "characters 1: The name \"Warrior\" needs 7 bytes";
        QTest::newRow("uncoded") << QStringList{"set", img, "monsters", "0", "Slime\t&"} << 2 << "characters without a code: U+0009, \"&\"";
        QTest::newRow("leading dash") << QStringList{"set", img, "items", "0", "--", "-Ax-"} << 0 << "";
        QTest::newRow("patch to .txt") << QStringList{"patch", img, img, "out.txt"} << 1 << "must end in .bps or .ips";
        QTest::newRow("both header options") << QStringList{"dump", "--headered", "--headerless", img} << 1 << "exclude each other";
        QTest::newRow("--fix with set") << QStringList{"set", "--fix", img, "items", "3", "Ax"} << 1 << "--fix does not go with set";
        QTest::newRow("patch of other sizes") << QStringList{"patch", img, "SHORT", "OUT.bps"} << 2 << "a patch here is between images of one size";
        QTest::newRow("patch, header and none") << QStringList{"patch", img, "HEADERLESS", "OUT.ips"} << 2 << "has a copier header and";
        QTest::newRow("patch into no folder") << QStringList{"patch", img, img, "/nonexistent/out.bps"} << 2 << "No such file or directory";
        QTest::newRow("info, too short") << QStringList{"info", "SHORT"} << 2 << "too short to hold the internal header";
        QTest::newRow("fix, too short") << QStringList{"checksum", "--fix", "SHORT"} << 2 << "too short";
        QTest::newRow("cut JSON") << QStringList{"apply", img, "CUTJSON"} << 2 << "not valid JSON";
        // Bytes decide, but a name that does not fit is never unchanged.
        QTest::newRow("too long, ending in <$FF>") << QStringList{"set", img, "characters", "0", "Hero<$FF><$FF><$FF>"}
                                                 << 2 << "The name \"Hero<$FF><$FF><$FF>\" needs 7 bytes";
        // Files that are no image, by what they are.
        QTest::newRow("ZIP archive") << QStringList{"dump", "ZIP"} << 2 << "is a ZIP archive, not an image: unpack it first";
        QTest::newRow("empty ZIP archive") << QStringList{"info", "EMPTYZIP"} << 2 << "is a ZIP archive, not an image";
        QTest::newRow("BPS patch for an image") << QStringList{"diff", "BPS", img} << 2 << "is a BPS patch, not an image";
        QTest::newRow("IPS patch for an image") << QStringList{"set", "IPS", "items", "0", "Ax"} << 2 << "is an IPS patch";
        QTest::newRow("PNG picture") << QStringList{"checksum", "PNG"} << 2 << "is a PNG picture, not an image";
        QTest::newRow("one byte") << QStringList{"patch", img, "ONEBYTE", "OUT.bps"} << 2 << "too small to be an image";
        QTest::newRow("empty file") << QStringList{"dump", "EMPTY"} << 2 << "The file is empty";
        // Text from a list or a file name acts on no terminal.
        QTest::newRow("title sequence in a list") << QStringList{"apply", img, "ESCLIST"} << 2
                                                  << "Unknown category \"\\x1b]0;Owned\\x07\"";
        QTest::newRow("CSI in a name") << QStringList{"set", img, "characters", "1", "\u009b31mWarrior"} << 2
                                       << "The name \"\\xc2\\x9b31mWarrior\"";
        QTest::newRow("CSI in a file name") << QStringList{"dump", "a\u009b2J.smc"} << 2
                                            << "a\\xc2\\x9b2J.smc: No such file or directory";
        QTest::newRow("override in a file name") << QStringList{"info", "cms.\u202Eexe"} << 2
                                                 << "cms.\\xe2\\x80\\xaeexe: No such file";
    }

    void exitStatusAndMessages()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        args.replaceInStrings(QRegularExpression("^IMAGE$"), image);
        // Large enough to be taken for an image, too short for its internal header.
        args.replaceInStrings(QRegularExpression("^SHORT$"), file("short.smc", demo.bytes.left(0x10100)));
        const QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
        const std::pair<const char *, QByteArray> others[] = {
            {"ZIP", QByteArray("PK\x03\x04", 4) + demo.bytes.mid(4)},
            {"EMPTYZIP", QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')},
            {"BPS", QByteArray("BPS1") + QByteArray(300, '\x01')},
            {"IPS", QByteArray("PATCH\x04\x7A\xC0\0\x02\x80\xB1" "EOF", 15) + demo.bytes.mid(15, 0x10000)},
            {"PNG", png + QByteArray(500, '\x7F')},
            {"ONEBYTE", "x"},
            {"EMPTY", {}},
            {"ESCLIST", "category,index,name\r\n\x1B]0;Owned\x07,0,Ax\r\n"},
        };
        for (const auto &[word, bytes] : others)
            args.replaceInStrings(QRegularExpression(QStringLiteral("^%1$").arg(QLatin1String(word))),
                                  file(QString::fromLatin1(word).toLower(), bytes));
        args.replaceInStrings(QRegularExpression("^HEADERLESS$"), file("headerless.sfc", demo.bytes.mid(512)));
        args.replaceInStrings(QRegularExpression("^CUTJSON$"), file("cut.json", "[{\"category\": \"items\", \"ind"));
        args.replaceInStrings(QRegularExpression("^OUT"), dir.filePath("out"));
        const Run result = run(args);
        QCOMPARE(result.code, code);
        QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
        // No report carries a character that acts on a terminal or reorders text.
        static const QRegularExpression acting("[\\x{1B}\\x{80}-\\x{9F}\\x{202A}-\\x{202E}\\x{2066}-\\x{2069}]");
        QVERIFY2(!QString::fromUtf8(result.err).contains(acting), result.err.constData());
        if (code != 0) {
            // Only the reports refuse; info still shows what the image holds.
            if (args.value(0) != u"info" && args.value(0) != u"checksum")
                QVERIFY(result.out.isEmpty());
            QCOMPARE(readAll(image), demo.bytes);
            QCOMPARE(QDir(dir.path()).entryList({"out*", ".out*"}, QDir::Files | QDir::Hidden), QStringList());
        }
    }

    void setOnAShortFileLeavesTheFieldAlone()
    {
        const QByteArray bytes = demo.bytes.left(nameOffset(table(Category::Items), 255) + 5);
        const QString shortImage = file("short.smc", bytes);
        const Run set = run({"set", shortImage, "items", "255", "Ax"});
        QCOMPARE(set.code, 2);
        QVERIFY2(set.err.contains("beyond the end of the file"), set.err.constData());
        QCOMPARE(set.err.toLower().count("nothing was written"), 1);
        QCOMPARE(readAll(shortImage), bytes);

        // Bytes past the end are shown as absent, not as zeros: the file ends
        // two bytes into item 0's name, so item 1 has no bytes at all.
        const int cut = nameOffset(table(Category::Items), 0) + 2;
        const QString cutImage = file("cut.smc", demo.bytes.left(cut));
        const QList<QByteArray> lines = run({"dump", cutImage}).out.split('\n');
        QCOMPARE(lines.at(64 + 384 + 54), "items\t0\t03\tAx\t80B1" + QByteArray("--").repeated(10));
        QCOMPARE(lines.at(64 + 384 + 54 + 1), "items\t1\t--\t\t" + QByteArray("--").repeated(12));
        // A file too small for the internal header holds no name: it is no image.
        const Run empty = run({"dump", file("empty.smc", {})});
        QCOMPARE(empty.code, 2);
        QVERIFY2(empty.out.isEmpty() && empty.err.contains("too small to be an image"), empty.err.constData());
        // Its dump, given back, changes nothing and is no error.
        const Run back = run({"apply", cutImage, "-"}, run({"dump", cutImage}).out);
        QCOMPARE(back.code, 0);
        QCOMPARE(readAll(cutImage), demo.bytes.left(cut));
    }

    // Launchers and cron jobs that close the standard descriptors, names that
    // are not UTF-8, a full standard output, endless lists.
    void hostileSurroundingsNeverReachTheImage()
    {
        const QByteArray small = demo.bytes.left(0x50000);
        const QString smallImage = file("small.smc", small);
        // The refusal's long message must not go into the image as descriptor 2.
        Run r = shell(QStringLiteral("exec \"$0\" set \"$1\" characters 0 \"$2\" <&- >&- 2>&-"),
                      {smallImage, QString(17000, u'A')});
        QCOMPARE(r.code, 2);
        const QString badList = file("bad.txt", QByteArray("weapons\t0\t-\tAx\n").repeated(2000));
        r = shell(QStringLiteral("exec \"$0\" apply \"$1\" \"$2\" >&- 2>&-"), {smallImage, badList});
        QCOMPARE(r.code, 2);
        QCOMPARE(readAll(smallImage), small);

        // The exact bytes of a name that is not UTF-8, and shown escaped.
        r = shell(QStringLiteral("cd \"$1\" && cp image.smc \"$(printf 'a\\377.smc')\" && "
                                 "\"$0\" set \"$(printf 'a\\377.smc')\" characters 0 Ax && "
                                 "exec \"$0\" dump \"$(printf 'b\\377.smc')\""),
                  {dir.path()});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("b\\xff.smc: No such file or directory"), r.err.constData());
        QFile odd(dir.filePath(QStringLiteral("a\uFFFD.smc")));
        QVERIFY(!odd.exists());
        const int named = ::open(QByteArray(QFile::encodeName(dir.path()) + "/a\xff.smc").constData(), O_RDONLY);
        QVERIFY(named >= 0);
        QByteArray field(6, '\0');
        QCOMPARE(::pread(named, field.data(), 6, nameOffset(table(Category::Characters), 0)), 6);
        ::close(named);
        QCOMPARE(field, QByteArray("\x80\xB1\xFF\xFF\xFF\xFF"));

        // A report that cannot be printed does not undo a write that went in.
        const QString list = file("list.txt", "characters\t1\t-\tSlime\n");
        r = shell(QStringLiteral("exec \"$0\" apply \"$1\" \"$2\" >/dev/full"), {image, list});
        QCOMPARE(r.code, 0);
        QCOMPARE(readAll(image).mid(nameOffset(table(Category::Characters), 1), 6),
                 QByteArray("\x92\xA5\xA2\xA6\x9E\xFF"));
        for (const char *data : {"dump \"$1\"", "--help", "--version"})
            QCOMPARE(shell(QStringLiteral("exec \"$0\" %1 >/dev/full").arg(QLatin1String(data)), {image}).code, 2);

        // Endless or huge lists are refused after at most 16 MiB.
        const QString huge = file("huge.txt", QByteArray(17 << 20, '\n'));
        for (const QString &source : {QStringLiteral("/dev/zero"), huge}) {
            r = run({"apply", image, source});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("larger than 16 MiB"), r.err.constData());
        }
    }

    // Every change goes in whole or not at all, in list order, and the outcome
    // says how many went in: when asked to stop, and when the image is
    // replaced under the run (those went into the replaced file).
    void applyStopsBetweenNamesAndCountsWhatWentIn()
    {
        QString text;
        for (int i = 0; i < 64; ++i)
            text += QStringLiteral("characters\t%1\t-\tAx%1\n").arg(i);
        const auto field = [](const QByteArray &bytes, int i) {
            return bytes.mid(nameOffset(table(Category::Characters), i), 6);
        };
        RomFile rom;
        QVERIFY(rom.open(native(image)));
        const NameList::Plan plan = NameList::check(rom, NameList::Text::read(toStd(text)), false);
        QCOMPARE(plan.changes.size(), std::size_t(64));
        int asked = 0;
        NameList::Outcome outcome = NameList::apply(rom, plan, [&] { return ++asked > 10; });
        QCOMPARE(outcome.written, 10);
        QVERIFY(!outcome.failure && !outcome.syncFailure);
        QByteArray after = readAll(image);
        QCOMPARE(field(after, 9), QByteArray("\x80\xB1\xBD\xFF\xFF\xFF"));
        QCOMPARE(field(after, 10), field(demo.bytes, 10));

        const QString other = file("other.smc", demo.bytes);
        asked = 0;
        outcome = NameList::apply(rom, plan, [&] {
            if (++asked == 29)
                ::rename(QFile::encodeName(other).constData(), QFile::encodeName(image).constData());
            return false;
        });
        QCOMPARE(outcome.written, 28);
        QVERIFY(outcome.failure);
        QVERIFY2(toQ(outcome.failure->message()).contains("replaced by another file"), outcome.failure->message().c_str());
        QVERIFY(!rom.pathNamesOpenedFile());
        QCOMPARE(readAll(image), demo.bytes);
        QCOMPARE(toQ(rom.read(nameOffset(table(Category::Characters), 27), 6)), QByteArray("\x80\xB1\xB6\xBB\xFF\xFF"));

        // A field that took part of its name before the disk failed, and could
        // not be put back: it counts as partly written, and it is synced.
        const QString fresh = file("fresh.smc", demo.bytes);
        QVERIFY(rom.open(native(fresh)));
        static int writes = 0, syncs = 0;
        writes = syncs = 0;
        const auto failing = FileAccess::replaceDiskForTesting(StandIns::realDiskWith([](FileAccess::Calls &c) {
            c.writeAt = [](FileAccess::FileHandle file, ByteView bytes, std::int64_t offset) {
                return writes++ == 0 ? FileAccess::platform().writeAt(file, bytes.first(3), offset) : StandIns::failed(EIO);
            };
            c.sync = [](FileAccess::FileHandle file, bool metadata) {
                return ++syncs, FileAccess::platform().sync(file, metadata);
            };
        }));
        outcome = NameList::apply(rom, plan);
        QCOMPARE(outcome.written, 0);
        QVERIFY(outcome.failure && outcome.partly);
        QCOMPARE(syncs, 1);
        QCOMPARE(field(readAll(fresh), 0), QByteArray("\x80\xB1\xB4\xA8\xFF\xFF"));  // "Ax0", then "o  " of "Hero  "
    }

    // The road from an edited image to a published patch, on an image with a
    // copier header and on the same image without one.
    void releaseRoad_data()
    {
        QTest::addColumn<int>("header");
        QTest::newRow("copier header") << 512;
        QTest::newRow("no copier header") << 0;
    }

    void releaseRoad()
    {
        QFETCH(int, header);
        const QByteArray pristine = demo.bytes.mid(512 - header);
        const QString original = file("original.smc", pristine);
        const QString edited = file("edited.smc", pristine);
        const QByteArray dumped = run({"dump", "--json", original}).out;
        QCOMPARE(QJsonDocument::fromJson(dumped).array().at(0).toObject().value("name").toString(),
                 QStringLiteral("Hero  "));
        const QString list = file("names.json", QByteArray(dumped).replace("\"Hero  \"", "\"Slime\""));

        // Without --fix-checksum the pair is left alone; the check then fails.
        QCOMPARE(run({"apply", edited, list}).code, 0);
        QCOMPARE(run({"checksum", edited}).code, 3);
        QCOMPARE(run({"set", "--fix-checksum", edited, "items", "255", "Ax"}).code, 0);
        const Run checked = run({"checksum", edited});
        QCOMPARE(checked.code, 0);
        QVERIFY2(checked.out.endsWith(": sound\n"), checked.out.constData());
        const QJsonObject info = QJsonDocument::fromJson(run({"info", "--json", edited}).out).object();
        QCOMPARE(info.value("copierHeader").toBool(), header > 0);
        QCOMPARE(info.value("checksumValid").toBool(), true);
        QCOMPARE(info.value("title").toString(), demo.title);
        const QByteArray data = readAll(edited).mid(header);
        QCOMPARE(info.value("crc32").toString(), QStringLiteral("%1").arg(PatchReader::crcOf(data), 8, 16, QChar(u'0')).toUpper());

        // Two names and the four checksum bytes differ, nothing else.
        const Run diff = run({"diff", original, edited});
        QCOMPARE(diff.code, 0);
        QCOMPARE(diff.out, QByteArray("characters\t0\tHero  \tSlime \nitems\t255\t") + demo.tables[3][255].decoded.toUtf8()
                               + "\tAx          \n");
        QVERIFY2(diff.err.contains("4 byte(s) outside the name fields differ"), diff.err.constData());

        for (const QString &name : {QStringLiteral("names.BPS"), QStringLiteral("names.ips")}) {
            const QString output = dir.filePath(name);
            QFile::remove(output);
            QCOMPARE(run({"patch", original, edited, output}).code, 0);
            const QByteArray patch = readAll(output);
            // A BPS applies to the image behind the copier header, an IPS to
            // the file as the player holds it.
            const PatchReader::Applied applied = name.endsWith("BPS") ? PatchReader::applyBps(pristine.mid(header), patch)
                                                                      : PatchReader::applyIps(pristine, patch);
            QVERIFY2(applied.error.isEmpty(), qPrintable(applied.error));
            QCOMPARE(applied.output, name.endsWith("BPS") ? data : readAll(edited));
            // An existing patch is kept unless --force is given.
            const Run again = run({"patch", original, original, output});
            QCOMPARE(again.code, 2);
            QCOMPARE(readAll(output), patch);
            // The patch it replaces keeps its mode.
            QCOMPARE(::chmod(QFile::encodeName(output).constData(), 0640), 0);
            QCOMPARE(run({"patch", "--force", original, original, output}).code, 0);
            QVERIFY(readAll(output) != patch);
            struct stat replaced {};
            QCOMPARE(::stat(QFile::encodeName(output).constData(), &replaced), 0);
            QCOMPARE(replaced.st_mode & 07777, mode_t(0640));
        }
    }

    // A large image: a change where an IPS offset would read "EOF" and one
    // in the last byte, and a patch that keeps the copier header in.
    void patchesReachEveryByteOfALargeImage()
    {
        QByteArray before(512 + 6 * 1024 * 1024, '\0');
        for (qsizetype k = 0; k < before.size(); ++k)
            before[k] = char(k * 31 + (k >> 13));
        QByteArray after = before;
        for (const qsizetype at : {qsizetype(0x454F46), after.size() - 512 - 1, qsizetype(0x100)})
            after[512 + at] = char(~after.at(512 + at));
        const QString a = file("a.smc", before), b = file("b.smc", after);
        const QString ips = dir.filePath("large.ips"), bps = dir.filePath("headered.bps");
        QCOMPARE(run({"patch", "--drop-header", a, b, ips}).code, 0);
        const PatchReader::Applied applied = PatchReader::applyIps(before.mid(512), readAll(ips));
        QVERIFY2(applied.error.isEmpty(), qPrintable(applied.error));
        QCOMPARE(applied.output, after.mid(512));
        QVERIFY(applied.recordStarts.contains(0x454F45));
        QCOMPARE(run({"patch", "--keep-header", a, b, bps}).code, 0);
        QCOMPARE(PatchReader::applyBps(before, readAll(bps)).output, after);
    }

    void helpAndVersion()
    {
        const Run version = run({"--version"});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, "orvane-names " + QByteArray::fromStdString(versionText()) + '\n');
        const Run help = run({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith("Usage: orvane-names dump"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
