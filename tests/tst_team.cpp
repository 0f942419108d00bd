// orvane-names as a team uses it: lists that know where they started,
// merged over one another, and a team's own character table.
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

class TeamTest : public QObject, ScratchImages {
    Q_OBJECT

private slots:
    void init() { image = file(QStringLiteral("image.smc"), demo.bytes); }

    // A team's round: the original, one translator's image (characters 0
    // and items 5), and the team's image, where another translator already
    // put in characters 1 and changed items 5 too. Each row makes a list as
    // the translator hands it in (a dump, with an edit of its text), merges
    // it into a fresh copy of the team's image, and names what that holds.
    void teamMerges_data()
    {
        QTest::addColumn<QStringList>("made");    // dump's words, or none for the list as given
        QTest::addColumn<QByteArray>("edit");     // "old|new" in the list made, or the list itself
        QTest::addColumn<QString>("listName");
        QTest::addColumn<QStringList>("merge");   // apply's options, or none to check the list made
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");     // in standard error, or in the list made
        QTest::addColumn<QStringList>("names");   // "category index name" in the team's image afterwards
        const QString conflict = QStringLiteral("items 5 changed since the list was made: \"Shield\" then, \"Club\" "
                                                "in the image now, \"Sword\" in the list.");
        const QStringList kept{"characters 0 Hero", "characters 1 Zed", "items 5 Club"};
        const QStringList handedIn{"dump", "--changed-from", "ORIGINAL", "MINE"};
        QTest::newRow("changed names, lines: a conflict writes nothing")
            << handedIn << QByteArray() << "mine.txt" << QStringList{} << 2 << conflict << kept;
        QTest::newRow("changed names, CSV, dry run") << handedIn + QStringList{"--csv"} << QByteArray() << "mine.csv"
                                                     << QStringList{"--dry-run"} << 2 << conflict << kept;
        QTest::newRow("changed names, JSON, --overwrite")
            << handedIn + QStringList{"--json"} << QByteArray() << "mine.json" << QStringList{"--overwrite"} << 0
            << "2 name(s) changed" << QStringList{"characters 0 Ax", "characters 1 Zed", "items 5 Sword"};
        QTest::newRow("changed names, --only characters")
            << handedIn << QByteArray() << "mine.txt" << QStringList{"--only", "characters"} << 0
            << "1 name(s) outside the categories chosen, left out"
            << QStringList{"characters 0 Ax", "characters 1 Zed", "items 5 Club"};
        QTest::newRow("changed names, PO") << handedIn + QStringList{"--po"} << QByteArray() << "mine.po"
                                           << QStringList{} << -1 << "msgctxt \"items 5\"" << QStringList{};
        QTest::newRow("changed names list only them")
            << handedIn + QStringList{"--only=items,magic"} << QByteArray() << "mine.txt" << QStringList{} << -1
            << "items\t5\t" << QStringList{};
        // The full list of the original, one name translated: the names the
        // other translator put in stay.
        QTest::newRow("a full list, one name changed")
            << QStringList{"dump", "--csv", "ORIGINAL"} << QByteArray("\"Hero  \",6|Ax,6") << "all.csv" << QStringList{}
            << 0 << "757 name(s) unchanged since the list was made"
            << QStringList{"characters 0 Ax", "characters 1 Zed", "items 5 Club"};
        QTest::newRow("no bytes column: as given")
            << QStringList{} << QByteArray("category,index,name\r\nitems,5,Sword\r\n") << "plain.csv" << QStringList{}
            << 0 << "1 name(s) changed" << QStringList{"characters 1 Zed", "items 5 Sword"};
        QTest::newRow("a name the image already holds is no conflict")
            << QStringList{} << QByteArray("items\t5\t00\tClub\t92A1A29EA59DFFFFFFFFFFFF\n") << "same.txt"
            << QStringList{} << 0 << "0 name(s) changed" << kept;
        QTest::newRow("Windows-1252")
            << QStringList{} << QByteArray("category,index,name\r\nitems,5,Caf\xE9\r\n") << "cafe.csv" << QStringList{}
            << 2 << "line 2 is not UTF-8 text (saved as Windows-1252, perhaps): save the list as UTF-8" << kept;
        QTest::newRow("--bom") << QStringList{"dump", "--csv", "--bom", "ORIGINAL"} << QByteArray() << "bom.csv"
                               << QStringList{} << -1 << "\xEF\xBB\xBF" "category,index,byte,name,max,bytes\r\n"
                               << QStringList{};
        QTest::newRow("--bom read back") << QStringList{"dump", "--csv", "--bom", "ORIGINAL"} << QByteArray()
                                         << "bom.csv" << QStringList{} << 0 << "0 name(s) changed" << kept;
        QTest::newRow("--bom with --json") << QStringList{"dump", "--json", "--bom", "ORIGINAL"} << QByteArray()
                                           << "bom.json" << QStringList{} << 1 << "--bom goes with --csv" << kept;
        QTest::newRow("--only an unknown word") << handedIn << QByteArray() << "mine.txt"
                                                << QStringList{"--only", "items,weapons"} << 1
                                                << "\"weapons\" is no category" << kept;
    }

    void teamMerges()
    {
        QFETCH(QStringList, made);
        QFETCH(QByteArray, edit);
        QFETCH(QString, listName);
        QFETCH(QStringList, merge);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QStringList, names);
        const QString original = file("original.smc", demo.bytes);
        const QString mine = file("mine.smc", demo.bytes);
        QCOMPARE(run({"set", mine, "characters", "0", "Ax"}).code, 0);
        QCOMPARE(run({"set", mine, "items", "5", "Sword"}).code, 0);
        QCOMPARE(run({"set", image, "characters", "1", "Zed"}).code, 0);
        QCOMPARE(run({"set", image, "items", "5", "Club"}).code, 0);
        const QByteArray team = readAll(image);

        QByteArray list = edit;
        if (!made.isEmpty()) {
            made.replaceInStrings(QRegularExpression("^ORIGINAL$"), original);
            made.replaceInStrings(QRegularExpression("^MINE$"), mine);
            const Run dumped = run(made);
            if (dumped.code != 0) {
                QCOMPARE(dumped.code, code);
                QVERIFY2(dumped.err.contains(message.toUtf8()), dumped.err.constData());
                return;
            }
            list = dumped.out;
            if (!edit.isEmpty()) {
                const QList<QByteArray> parts = edit.split('|');
                QVERIFY(list.contains(parts.at(0)));
                list.replace(parts.at(0), parts.at(1));
            }
        }
        if (code < 0) {
            // The list as made: what it holds, and, handed in, only the two names.
            QVERIFY2(list.contains(message.toUtf8()), list.constData());
            if (made.contains("--changed-from")) {
                QVERIFY2(!list.contains("characters\t1") && !list.contains("\"characters 1\"")
                             && list.contains("items"),
                         list.constData());
                QCOMPARE(list.contains("characters"), !made.contains("--only=items,magic"));
            }
            return;
        }
        const Run merged = run(QStringList{"apply"} + merge + QStringList{image, file(listName, list)});
        QCOMPARE(merged.code, code);
        QVERIFY2(merged.err.contains(message.toUtf8()), merged.err.constData());
        if (code != 0)
            QCOMPARE(readAll(image), team);
        const QList<QByteArray> lines = run({"dump", image}).out.split('\n');
        for (const QString &name : names) {
            const QStringList words = name.split(' ');
            const QByteArray start = (words.at(0) + '\t' + words.at(1) + '\t').toUtf8();
            const auto line = std::find_if(lines.begin(), lines.end(),
                                           [&](const QByteArray &each) { return each.startsWith(start); });
            QVERIFY(line != lines.end());
            QCOMPARE(line->split('\t').at(3).trimmed(), words.at(2).toUtf8());
        }
    }

    // A team's character table (--table FILE) on every command that reads or
    // writes names: its letters and its two-letter code written and read
    // back, and each refused table refused before the image is opened.
    void teamTables_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("chars");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QByteArray>("preset");  // characters 0's bytes before, in hex
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out");     // contained in standard output
        QTest::addColumn<QString>("err");        // contained in standard error
        QTest::addColumn<QByteArray>("field");   // characters 0's bytes after, in hex; empty: the image unchanged
        const QByteArray team = "# The team's letters\nC2=\u00e9\nE0=\u00f1\r\nE1=\u00fc\nE2=\u00df\n\nE3=th\n";
        const QStringList set{"set", "--table", "TABLE", "IMAGE", "characters", "0"};
        QTest::newRow("set, accents") << set + QStringList{"\u00f1\u00fc\u00df\u00e9"} << team << QByteArray() << QByteArray()
                                      << 0 << QByteArray() << "" << QByteArray("E0E1E2C2FFFF");
        QTest::newRow("set, two letters as one code") << set + QStringList{"Ethan"} << team << QByteArray() << QByteArray()
                                                      << 0 << QByteArray() << "" << QByteArray("84E39AA7FFFF");
        QTest::newRow("set, a renamed code") << set + QStringList{"\u00c1x"} << QByteArray("80=\u00c1\n") << QByteArray()
                                             << QByteArray() << 0 << QByteArray() << "" << QByteArray("80B1FFFFFFFF");
        QTest::newRow("dump") << QStringList{"dump", "--table", "TABLE", "IMAGE"} << team << QByteArray()
                              << QByteArray("E0E1E2C2E3FF") << 0
                              << QByteArray("characters\t0\t-\t\u00f1\u00fc\u00df\u00e9th \tE0E1E2C2E3FF\n") << ""
                              << QByteArray("E0E1E2C2E3FF");
        // t and h would be read back as the one code of "th".
        QTest::newRow("dump, letters that would read as a longer text") << QStringList{"dump", "--table=TABLE", "IMAGE"}
            << team << QByteArray() << QByteArray("8A9EA2ADA1FF") << 0
            << QByteArray("characters\t0\t-\tKei<$AD>h \t8A9EA2ADA1FF\n") << "" << QByteArray("8A9EA2ADA1FF");
        QTest::newRow("apply") << QStringList{"apply", "--table", "TABLE", "IMAGE", "LIST"} << team
                               << QByteArray("characters\t0\t-\t\u00dfeth\n") << QByteArray() << 0 << QByteArray()
                               << "1 name(s) changed" << QByteArray("E29EE3FFFFFF");
        QTest::newRow("apply --dry-run") << QStringList{"apply", "--dry-run", "--table", "TABLE", "IMAGE", "LIST"} << team
                                         << QByteArray("characters\t0\t-\t\u00dfeth\n") << QByteArray() << 0
                                         << QByteArray("characters\t0\tHero  \t\u00dfeth   \t879EABA8FFFF\tE29EE3FFFFFF\n")
                                         << "1 name(s) would change" << QByteArray();
        QTest::newRow("diff") << QStringList{"diff", "--table", "TABLE", "ORIGINAL", "IMAGE"} << team << QByteArray()
                              << QByteArray("E0E1E2C2E3FF") << 0
                              << QByteArray("characters\t0\tHero  \t\u00f1\u00fc\u00df\u00e9th \n") << ""
                              << QByteArray("E0E1E2C2E3FF");
        QTest::newRow("table") << QStringList{"table", "--table", "TABLE"} << team << QByteArray() << QByteArray() << 0
                               << QByteArray("D1=\u2026\nE0=\u00f1\nE1=\u00fc\nE2=\u00df\nE3=th\nFF= \n") << ""
                               << QByteArray();
        QTest::newRow("table, its own lines taken back") << QStringList{"table", "--table", "TABLE"} << QByteArray("GAME")
                                                         << QByteArray() << QByteArray() << 0 << QByteArray("GAME") << ""
                                                         << QByteArray();
        QTest::newRow("no table, and what to do") << QStringList{"set", "IMAGE", "characters", "0", "\u00f1a"} << QByteArray()
            << QByteArray() << QByteArray() << 2 << QByteArray()
            << "characters without a code: \"\u00f1\"; a character table that has them (--table FILE) gives them codes, "
               "<$XX> writes any byte, and --allow-blanks stores them as blanks."
            << QByteArray();
        // Refused tables: exit 2, the file and its line, nothing written.
        QTest::newRow("malformed line") << set + QStringList{"Ax"} << QByteArray("C2=\u00e9\nE0 \u00f1\n") << QByteArray()
                                        << QByteArray() << 2 << QByteArray() << "team.tbl:2: not a line of the table"
                                        << QByteArray();
        QTest::newRow("the same byte twice") << QStringList{"apply", "--table", "TABLE", "IMAGE", "LIST"}
                                             << QByteArray("C2=\u00e9\nc2=\u00f1\n")
                                             << QByteArray("characters\t0\t-\tAx\n") << QByteArray() << 2 << QByteArray()
                                             << "team.tbl:2: byte C2 is already given on line 1." << QByteArray();
        QTest::newRow("the same text twice") << QStringList{"dump", "--table", "TABLE", "IMAGE"}
                                             << QByteArray("E0=\u00e9\n#\nC2=\u00e9\n") << QByteArray() << QByteArray() << 2
                                             << QByteArray() << "team.tbl:3: the text \"\u00e9\" is already byte E0's, on line 1."
                                             << QByteArray();
        QTest::newRow("a text of the game's") << QStringList{"diff", "--table", "TABLE", "ORIGINAL", "IMAGE"}
                                              << QByteArray("E0=A\n") << QByteArray() << QByteArray() << 2 << QByteArray()
                                              << "team.tbl:1: the text \"A\" is already byte 80's in the game's table"
                                              << QByteArray();
        QTest::newRow("the blank") << QStringList{"table", "--table", "TABLE"} << QByteArray("FF= \nFF=_\n") << QByteArray()
                                   << QByteArray() << 2 << QByteArray() << "team.tbl:2: byte FF is already given on line 1"
                                   << QByteArray();
        QTest::newRow("the blank renamed") << set + QStringList{"Ax"} << QByteArray("# blanks\nFF=_\n") << QByteArray()
                                           << QByteArray() << 2 << QByteArray()
                                           << "team.tbl:2: byte FF is the blank that pads every name" << QByteArray();
        QTest::newRow("the ellipsis renamed") << set + QStringList{"Ax"} << QByteArray("D1=...\n") << QByteArray()
                                              << QByteArray() << 2 << QByteArray()
                                              << "team.tbl:1: byte D1 is the ellipsis code" << QByteArray();
        QTest::newRow("no such table") << QStringList{"set", "--table", "none.tbl", "IMAGE", "characters", "0", "Ax"}
                                       << QByteArray() << QByteArray() << QByteArray() << 2 << QByteArray()
                                       << "none.tbl: No such file or directory" << QByteArray();
        QTest::newRow("--table without its file") << QStringList{"table", "--table"} << QByteArray() << QByteArray()
                                                  << QByteArray() << 1 << QByteArray() << "--table needs a FILE"
                                                  << QByteArray();
    }

    void teamTables()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, chars);
        QFETCH(QByteArray, list);
        QFETCH(QByteArray, preset);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        QFETCH(QString, err);
        QFETCH(QByteArray, field);
        const QByteArray game = run({"table"}).out;
        const qsizetype at = nameOffset(table(Category::Characters), 0);
        QByteArray before = demo.bytes;
        if (!preset.isEmpty())
            before.replace(at, 6, QByteArray::fromHex(preset));
        image = file("image.smc", before);
        const QString tablePath = file("team.tbl", chars == "GAME" ? game : chars);
        args.replaceInStrings(QRegularExpression("^IMAGE$"), image);
        args.replaceInStrings(QRegularExpression("TABLE$"), tablePath);
        args.replaceInStrings(QRegularExpression("^LIST$"), file("names.txt", list));
        args.replaceInStrings(QRegularExpression("^ORIGINAL$"), file("original.smc", demo.bytes));
        args.replaceInStrings(QRegularExpression("^none.tbl$"), dir.filePath("none.tbl"));
        const Run result = run(args);
        QVERIFY2(result.code == code, result.err.constData());
        QVERIFY2(out == "GAME" ? result.out == game : result.out.contains(out), result.out.constData());
        QVERIFY2(QString::fromUtf8(result.err).contains(err), result.err.constData());
        const QByteArray after = readAll(image);
        if (field.isEmpty()) {
            QCOMPARE(after, before);
        } else {
            QCOMPARE(after.mid(at, 6).toHex().toUpper(), field);
            QCOMPARE(after.left(at) + after.mid(at + 6), before.left(at) + before.mid(at + 6));
        }
        if (code != 0)
            QVERIFY(result.out.isEmpty());
        // A dump through the table, given back through it, names the very bytes.
        if (args.value(0) == u"dump" && code == 0) {
            const Run back = run({"apply", "--table", tablePath, image, file("dumped.txt", result.out)});
            QVERIFY2(back.code == 0 && back.err.contains(": 0 name(s) changed."), back.err.constData());
            QCOMPARE(readAll(image), after);
        }
    }
};

QTEST_GUILESS_MAIN(TeamTest)
#include "tst_team.moc"
