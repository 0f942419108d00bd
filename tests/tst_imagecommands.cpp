// orvane-names on the image as a whole: where its data start, writes whose
// outcome cannot be confirmed, diff and patch, and what ends a run.
#include "CoreQt.h"
#include "ImageHeader.h"
#include "NamesProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <sys/stat.h>

class ImageCommandsTest : public QObject, ScratchImages {
    Q_OBJECT

    // A script's start that runs strace (through the runner, such as env)
    // with its log in "$T"; LeakSanitizer cannot run under a tracer.
    static QString traced(const QString &runner = {})
    {
        return "T=$(mktemp); " + runner
            + "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -o \"$T\" -f ";
    }

    // What follows the traced program in such a script: it runs in the
    // background, and what comes next runs once strace's log, followed as it
    // grows, tells that the program entered the call (where a delay holds
    // it), or once the program ended. An event, not a pause, so a busy
    // machine changes nothing. P is the traced program's process (strace);
    // waited() closes what this opens.
    static QString whenEntered(const char *call)
    {
        // strace writes a delayed call's name and its "(" before the line
        // ends, so each "(" ends a line here for grep.
        return QStringLiteral(" & P=$!; tail -c +1 -s 0.1 -f --pid=$P \"$T\" 2>/dev/null | stdbuf -o0 tr '(' '\\n' "
                              "| { grep -q -m1 ' %1$' || :; ")
            .arg(QLatin1String(call));
    }

    // The end of such a script: the program's status, the log removed.
    static QString waited(const QString &before = {})
    {
        return QStringLiteral("}; wait $P; s=$?; rm -f \"$T\"; %1exit $s").arg(before);
    }

    // The demo image's data, resized, with a sound checksum pair, behind a
    // copier header or not.
    QByteArray sound(int header, int resize) const
    {
        QByteArray data = demo.bytes.mid(512);
        data.resize(data.size() + resize, '\0');
        data.replace(ImageHeader::ComplementAt, 4, toQ(ImageHeader::soundPair(ImageHeader::computeChecksum(toBytes(data)))));
        return demo.bytes.left(header) + data;
    }

private slots:
    // The option, then a sound pair at one place, then the size; an
    // assumption is said. Commands that write refuse an option the pair
    // contradicts, commands that read warn.
    void everyCommandFindsWhereTheDataStart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("headered");
        QTest::addColumn<QString>("evidence");
        QTest::addColumn<QString>("says");
        QTest::newRow("headerless, odd size") << sound(0, 100) << "" << false << "internal header" << "";
        QTest::newRow("headered, multiple of 1024") << sound(512, -512) << "" << true << "internal header" << "";
        QTest::newRow("odd size, no pair") << demo.bytes + QByteArray(100, '\0') << "" << true << "assumed"
                                           << "read as having a 512-byte copier header";
        QTest::newRow("option against the pair") << sound(512, 0) << "--headerless" << false << "option"
                                                 << "warning: --headerless says the image has no copier header";
        // 00 00 FF FF at file offset 0xFFDC is a sound pair, but no header.
        QByteArray accident = demo.bytes;
        accident.replace(0xFFDC, 4, QByteArray("\x00\x00\xFF\xFF", 4));
        QTest::newRow("headered, a pair sound by accident") << accident << "" << true << "size" << "";
        QTest::newRow("headered, the option and the accident") << accident << "--headered" << true << "option" << "";
    }

    void everyCommandFindsWhereTheDataStart()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, option);
        QFETCH(bool, headered);
        QFETCH(QString, evidence);
        QFETCH(QString, says);
        const QString image = file("image.sfc", bytes);
        const QStringList options = option.isEmpty() ? QStringList() : QStringList{option};
        const Run info = run(QStringList{"info", "--json"} + options + QStringList{image});
        QCOMPARE(info.code, 0);
        const QJsonObject object = QJsonDocument::fromJson(info.out).object();
        QCOMPARE(object.value("copierHeader").toBool(), headered);
        QCOMPARE(object.value("headerEvidence").toString(), evidence);
        QVERIFY2(says.isEmpty() ? info.err.isEmpty() : info.err.contains(says.toUtf8()), info.err.constData());
        if (option.isEmpty()) {
            QVERIFY(run({"dump", image}).out.startsWith("characters\t0\t-\tHero  \t"));
            return;
        }
        if (says.isEmpty()) {
            QCOMPARE(run({"set", option, image, "characters", "0", "Ax"}).code, 0);
            QCOMPARE(readAll(image).mid(0x47AC0, 2), QByteArray("\x80\xB1"));
            return;
        }
        for (const QStringList &write : {QStringList{"set", image, "items", "0", "Ax"},
                                         QStringList{"checksum", "--fix", image}}) {
            const Run refused = run(QStringList{write.first(), option} + write.mid(1));
            QCOMPARE(refused.code, 2);
            QVERIFY2(refused.err.contains("sound only where it lies behind one"), refused.err.constData());
            QCOMPARE(readAll(image), bytes);
        }
    }

    // No write of this tool moves where the data start: a checksum fixed at
    // either place, then names, then the checksum again, all land in the
    // layout the first write used.
    void noWriteMovesTheData_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("option");
        const QByteArray headerless = demo.bytes.mid(512);
        QTest::newRow("headerless, fixed as headered") << headerless << "--headered";
        QTest::newRow("headerless, odd size") << headerless + QByteArray(100, '\0') << "--headerless";
        QTest::newRow("headered, fixed as headerless") << demo.bytes << "--headerless";
    }

    void noWriteMovesTheData()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, option);
        const QString image = file("image.sfc", bytes);
        const Run fix = run({"checksum", "--fix", option, image});
        QCOMPARE(fix.code, 0);
        // An option against the size is taken with a warning that it holds
        // for that command alone.
        QCOMPARE(fix.err.contains("read as the option says, this time only"), bytes.size() % 512 == 0);
        QCOMPARE(run({"set", image, "characters", "0", "Ax"}).code, 0);
        QCOMPARE(run({"set", image, "characters", "1", "Bo"}).code, 0);
        QCOMPARE(run({"checksum", "--fix", image}).code, 0);
        const Run dump = run({"dump", image});
        QVERIFY2(dump.out.startsWith("characters\t0\t-\tAx    \t") && dump.out.contains("\ncharacters\t1\t-\tBo    \t"),
                 dump.out.left(200).constData());
        const Run check = run({"checksum", image});
        QVERIFY2(check.code == 0, check.out.constData());
    }

    // Once a byte went in, a failing sync, a path replaced under the write
    // or a report that cannot be delivered ends in 4, never in "nothing".
    void unconfirmedWritesEndPartWay_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("says");
        // LeakSanitizer cannot run under a tracer.
        const QString strace = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
                               "strace -o /dev/null -f -e trace=fdatasync -e inject=fdatasync:";
        QTest::newRow("fix, sync fails") << strace + "error=EIO \"$0\" checksum --fix \"$1\""
                                         << "wrote the checksum 0x20D5 and its complement 0xDF2A, but they may not be on the disk";
        QTest::newRow("set, checksum's sync fails") << strace + "error=EIO:when=2 \"$0\" set --fix-checksum \"$1\" items 0 Slime"
                                                    << "the name went in and is synced, then the checksum: wrote";
        QTest::newRow("fix, full output") << "\"$0\" checksum --fix \"$1\" >/dev/full" << "wrote the checksum";
        // The image is moved while the sync is held up.
        for (const char *command : {"set \"$1\" items 0 Slime", "checksum --fix \"$1\""})
            QTest::newRow(command) << traced() + "-e trace=fdatasync -e inject=fdatasync:delay_enter=3000000 \"$0\" "
                                          + command + whenEntered("fdatasync") + "mv \"$2\" \"$1\"; " + waited()
                                   << "no longer at";
    }

    void unconfirmedWritesEndPartWay()
    {
        QFETCH(QString, script);
        QFETCH(QString, says);
        const Run r = shell(script, {file("image.smc", demo.bytes), file("other.smc", demo.bytes)});
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(says.toUtf8()) && !r.err.toLower().contains("nothing was written"), r.err.constData());
    }

    // What the command says and how it ends when something outside it fails:
    // nothing written is exit 2 and says so; once a byte went in, never 2;
    // a report or data it could not deliver is never exit 0.
    void faultsEndAsTheyShould_data()
    {
        QTest::addColumn<QString>("script");  // $0 the program, $1 the image, $2 a list of one name
        QTest::addColumn<bool>("sound");      // the image's checksum pair is sound
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QString strace = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -o /dev/null -f ";
        const QString unchanged = "\"$0\" set --fix-checksum \"$1\" characters 0 Hero";
        QTest::newRow("no name changed, the checksum's write fails")
            << strace + "-e trace=pwrite64 -e inject=pwrite64:error=EIO " + unchanged << false << 2
            << "no name changed, and the checksum was not fixed: Cannot write the image at offset 0x101dc";
        QTest::newRow("no name changed, the checksum's sync fails")
            << strace + "-e trace=fdatasync -e inject=fdatasync:error=EIO " + unchanged << false << 4
            << "no name changed; the checksum: wrote the checksum";
        // A patch that cannot be written whole is not left at all.
        const QString patch = "\"$0\" patch \"$1\" \"$1\" \"$1.bps\"; s=$?; [ ! -e \"$1.bps\" ] || s=9; exit $s";
        const QString fresh = "rm -f \"$1.bps\"; " + strace;
        QTest::newRow("patch, its write fails") << fresh + "-e trace=write -e inject=write:error=ENOSPC:when=1 " + patch
                                                << true << 2 << "No space left on device. No patch was written.";
        QTest::newRow("patch, its sync fails") << fresh + "-e trace=fsync -e inject=fsync:error=EIO " + patch << true
                                               << 2 << "Input/output error. No patch was written.";
        QTest::newRow("apply, report lost") << "\"$0\" apply \"$1\" \"$2\" 2>/dev/full" << true << 4 << "";
        QTest::newRow("fix, report lost") << "\"$0\" checksum --fix \"$1\" 2>/dev/full" << false << 4 << "";
        for (const char *command : {"dump \"$1\"", "table", "info \"$1\"", "diff \"$1\" \"$1\""})
            QTest::newRow(command) << QStringLiteral("\"$0\" %1 >&-").arg(QLatin1String(command)) << true << 2
                                   << "standard output is closed";
        QTest::newRow("dry run of a protected image")
            << "cp \"$1\" \"$1.ro\"; chmod 444 \"$1.ro\"; \"$0\" set --dry-run \"$1.ro\" items 0 Bo" << true << 2
            << "Permission denied";
        // The dry run opens as the real run does, for writing, which the
        // system refuses for an append-only file (where chattr can make one).
        QTest::newRow("dry run of an append-only image")
            << "cp \"$1\" \"$1.a\" && chattr +a \"$1.a\" 2>/dev/null || exit 77; "
               "\"$0\" set --dry-run \"$1.a\" items 0 Bo; s=$?; chattr -a \"$1.a\"; exit $s"
            << true << 2 << "Operation not permitted";
        QTest::newRow("dry run, report lost") << "\"$0\" set --dry-run \"$1\" items 0 Bo 2>/dev/full" << true << 2 << "";
        QTest::newRow("nothing to change, report lost") << "\"$0\" apply \"$1\" /dev/null 2>/dev/full" << true << 2 << "";
        QTest::newRow("apply, standard input closed") << "\"$0\" apply \"$1\" - <&-" << true << 2
                                                      << "orvane-names: standard input is closed";
        QTest::newRow("fix, then what the image holds") << "\"$0\" checksum --fix \"$1\" >&2" << false << 0
                                                        << "stored 0x20D5 (complement 0xDF2A), computed 0x20D5: sound";
        QTest::newRow("dry run, the pair stays sound") << "\"$0\" apply --dry-run --fix-checksum \"$1\" /dev/null"
                                                       << true << 0 << "0 name(s) would change; a dry run";
        QTest::newRow("dry run, the pair would change")
            << "\"$0\" apply --dry-run --fix-checksum \"$1\" \"$2\"" << true << 0
            << "1 name(s) would change, then the checksum pair would be made sound";
        // A shell's background job ignores Ctrl+C unless env gives it back.
        QTest::newRow("Ctrl+C during the last name")
            << traced("env --default-signal=INT ") + "-e trace=pwrite64 -e inject=pwrite64:delay_enter=3000000:when=1 "
                   "\"$0\" apply --fix-checksum \"$1\" \"$2\"" + whenEntered("pwrite64") + "kill -INT $(pgrep -P $P); "
                   + waited()
            << true << 130 << "stopped by SIGINT before the checksum";
    }

    void faultsEndAsTheyShould()
    {
        QFETCH(QString, script);
        QFETCH(bool, sound);
        QFETCH(int, code);
        QFETCH(QString, says);
#if defined(__SANITIZE_ADDRESS__)
        if (QByteArrayView(QTest::currentDataTag()) == "patch, its write fails")
            QSKIP("AddressSanitizer tests memory with a write of its own before main, which takes the injected "
                  "failure meant for the patch's write");
#endif
        const QByteArray bytes = sound ? this->sound(512, 0) : demo.bytes;
        const QString image = file("image.smc", bytes);
        const Run r = shell(script, {image, file("list.txt", "characters\t1\t-\tSlime\n")});
        if (r.code == 77)
            QSKIP("chattr +a cannot make an append-only file here (it needs CAP_LINUX_IMMUTABLE and a file "
                  "system with the attribute, not tmpfs)");
        QVERIFY2(r.code == code, qPrintable(QString::number(r.code) + ": " + QString::fromUtf8(r.err)));
        QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
        if (code == 2)
            QCOMPARE(readAll(image), bytes);
        else
            QVERIFY2(!r.err.toLower().contains("nothing was written"), r.err.constData());
        // Stopped before the checksum: the name went in, the pair did not.
        if (code == 130)
            QCOMPARE(readAll(image).mid(0x101DC, 4), bytes.mid(0x101DC, 4));
    }

    void diffCountsAndTells()
    {
        const QByteArray data = demo.bytes.mid(512);
        const QString full = file("full.sfc", data), part = file("part.sfc", data.left(0x50000));
        const Run r = run({"diff", part, full});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("2810812 byte(s) outside the name fields differ"), r.err.constData());
        QByteArray renamed = data;
        renamed[0x478C0] = char(0x92);  // characters 0 in the data
        const QString other = file("other.sfc", renamed);
        QCOMPARE(run({"diff", "--exit-code", full, full}).code, 0);
        QCOMPARE(run({"diff", "--exit-code", full, other}).code, 3);
        QCOMPARE(run({"diff", full, other}).code, 0);
    }

    void patchKeepsItsInputsAndLeavesNothingBehind()
    {
        const QString original = file("original.smc", sound(512, 0));
        QByteArray changed = sound(512, 0);
        changed[100] = 'x';      // inside the copier header
        changed[0x47AC0] = 'y';  // characters 0, so the pair is no longer sound
        const QString edited = file("edited.smc", changed);
        QVERIFY(QFile::link(original, dir.filePath("link.bps")));
        QCOMPARE(::link(QFile::encodeName(edited).constData(), QFile::encodeName(dir.filePath("hard.ips")).constData()), 0);
        for (const QString &output : {dir.filePath("link.bps"), dir.filePath("hard.ips")}) {
            const Run r = run({"patch", "--force", original, edited, output});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("it is the same file as"), r.err.constData());
        }
        QCOMPARE(readAll(original), sound(512, 0));
        QCOMPARE(readAll(edited), changed);

        // A BPS leaves the copier header out.
        const QString longest = dir.filePath(QString(251, u'n') + ".bps");
        const Run made = run({"patch", original, edited, longest});
        QCOMPARE(made.code, 0);
        QVERIFY2(made.err.contains("1 byte(s) differ inside the copier headers") && made.err.contains("checksum --fix"),
                 made.err.constData());
        QVERIFY(QFile::setPermissions(longest, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(run({"patch", "--force", original, original, longest}).code, 0);
        QCOMPARE(QFile::permissions(longest) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        // Killed while the patch is synced: nothing is left behind.
        const auto entries = [&] { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
        const QStringList before = entries();
        shell(traced() + "-e trace=fsync -e inject=fsync:delay_enter=3000000 \"$0\" patch \"$1\" \"$2\" \"$3\""
                  + whenEntered("fsync") + "kill -KILL $(pgrep -P $P); " + waited(),
              {original, edited, dir.filePath("killed.bps")});
        QCOMPARE(entries(), before);

        // Ctrl+C then, on a file system without nameless files (bindfs, through
        // FUSE), where the bytes go to a hidden file first: nothing is left.
        QVERIFY(QDir(dir.path()).mkpath("under") && QDir(dir.path()).mkpath("over"));
        if (shell("bindfs \"$1\" \"$2\"", {dir.filePath("under"), dir.filePath("over")}).code != 0)
            QSKIP("bindfs cannot mount here");
        const Run stopped = shell(traced("env --default-signal=INT ") + "-e trace=fsync "
                                  "-e inject=fsync:delay_enter=3000000 \"$0\" patch \"$1\" \"$2\" \"$3\""
                                      + whenEntered("fsync") + "kill -INT $(pgrep -P $P); " + waited("umount \"$4\"; "),
                                  {original, edited, dir.filePath("over/stopped.bps"), dir.filePath("over")});
        QCOMPARE(stopped.code, 130);
        QCOMPARE(QDir(dir.filePath("under")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // A patch made here reads back: info names it, diff against the
    // original lists exactly the names edited, and --apply makes the edited
    // image; one made for the image without its header is named so, and a
    // damaged one is refused whole.
    void patchesReadBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("fits");
        QTest::newRow("BPS") << "p.bps" << "" << true;
        QTest::newRow("IPS with the header") << "p.ips" << "" << true;
        QTest::newRow("IPS without it") << "p.ips" << "--drop-header" << false;
        QTest::newRow("BPS cut short") << "cut.bps" << "" << false;
    }

    void patchesReadBack()
    {
        QFETCH(QString, name);
        QFETCH(QString, option);
        QFETCH(bool, fits);
        const QString original = file("original.smc", demo.bytes), edited = file("edited.smc", demo.bytes);
        QCOMPARE(run({"set", edited, "characters", "0", "Ax"}).code, 0);
        QCOMPARE(run({"set", edited, "items", "3", "Slime"}).code, 0);
        // Each row's files side by side in the one scratch folder.
        const QString row = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-') + u'-';
        const QString patch = dir.filePath(row + name), out = dir.filePath(row + "out.smc");
        QStringList make{"patch", original, edited, patch};
        if (!option.isEmpty())
            make.insert(1, option);
        if (name == "cut.bps") {
            QCOMPARE(run({"patch", original, edited, dir.filePath(row + "whole.bps")}).code, 0);
            QVERIFY(QFile::copy(dir.filePath(row + "whole.bps"), patch) && QFile::resize(patch, QFileInfo(patch).size() - 1));
        } else {
            // The report names the image the patch applies to, with the
            // CRC-32 of exactly that form of it.
            const Run made = run(make);
            QCOMPARE(made.code, 0);
            const bool whole = fits && name.endsWith("ips");
            const QByteArray form = whole ? demo.bytes : demo.bytes.mid(512);
            const QByteArray says = QByteArray(whole ? "with" : "behind") + " its copier header, whose CRC-32 is "
                                    + QByteArray::number(ImageHeader::crc32(toBytes(form)), 16).rightJustified(8, '0').toUpper();
            QVERIFY2(made.err.contains(says), made.err.constData());
        }
        const Run info = run({"info", patch});
        const Run diff = run({"diff", "--exit-code", original, patch});
        const Run applied = run({"patch", "--apply", patch, original, out});
        if (name == "cut.bps") {
            QCOMPARE(info.code, 2);
            QCOMPARE(diff.code, 2);
            QCOMPARE(applied.code, 2);
            QVERIFY2(diff.err.contains("cut short") && applied.err.contains("Nothing was written"), applied.err.constData());
            QVERIFY(!QFile::exists(out));
            return;
        }
        QVERIFY2(info.code == 0 && info.out.startsWith("patch: " + name.right(3).toUpper().toUtf8()), info.out.constData());
        QCOMPARE(applied.code, 0);
        QCOMPARE(readAll(out) == readAll(edited), fits);
        QCOMPARE(diff.code, fits ? 3 : 0);
        QCOMPARE(diff.out, fits ? QByteArray("characters\t0\tHero  \tAx    \nitems\t3\t\u2026EtherPlus  \tSlime       \n")
                                : QByteArray());
        QCOMPARE(diff.err.contains("made for the image without one"), !fits);
    }

    // A closed output is reported, not a death by SIGPIPE; a failing image
    // is named even when it is the second.
    void failuresNameTheirCause()
    {
        const QString image = file("image.smc", demo.bytes);
        // A pipe whose reader has gone before the command starts: opened
        // both ways on a FIFO, then the reading side closed.
        const Run piped = shell("mkfifo \"$2\" && exec 3<>\"$2\" 4>\"$2\" 3<&- && \"$0\" dump \"$1\" >&4; "
                                "echo \"status $?\" >&2",
                                {image, dir.filePath(QStringLiteral("closed-pipe"))});
        QVERIFY2(piped.err.contains("standard output: Broken pipe\nstatus 2"), piped.err.constData());
        const Run second = run({"diff", image, "/proc/self/mem"});
        QCOMPARE(second.code, 2);
        QVERIFY2(second.err.startsWith("orvane-names: /proc/self/mem: Cannot read"), second.err.constData());
    }
};

QTEST_GUILESS_MAIN(ImageCommandsTest)
#include "tst_imagecommands.moc"
