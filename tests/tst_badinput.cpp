// Images that are short, huge, cut or deleted under the program, and a disk
// that fails during a save: each ends in a clear message or a clean result,
// and no byte changes outside a field the user saved.
#include "EditorHarness.h"

#include "NameTables.h"
#include "RomFile.h"
#include "StandIns.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using NameTables::Category;

namespace {

constexpr int Characters = 0, Monsters = 1, Items = 3;

std::int32_t nameAt(Category category, int row)
{
    return NameTables::nameOffset(NameTables::table(category), row);
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

    static void choose(EditorHarness &h, int category, int row)
    {
        h.option(category)->click();
        h.list(category)->setCurrentRow(row);
    }

    static void save(EditorHarness &h, int category, int row, const QString &name)
    {
        choose(h, category, row);
        h.nameText()->setText(name);
        h.saveButton()->click();
    }

    // True when one message box is up and it names the file and says why;
    // the box is closed either way.
    static bool reported(EditorHarness &h, const QString &path, const QString &reason)
    {
        const QList<QMessageBox *> boxes = h.problems();
        const QString message = boxes.size() == 1 ? boxes.first()->text() : QString();
        h.dismissProblems();
        if (message.contains(path) && message.contains(reason))
            return true;
        qWarning("Wanted one message naming %s with \"%s\"; there are %d: %s", qPrintable(path),
                 qPrintable(reason), int(boxes.size()), qPrintable(message));
        return false;
    }

private slots:
    void shortFilesLoadWithEmptyRowsAndRefuseSavesPastTheEnd_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("start");    // put over the image's first bytes
        QTest::addColumn<QString>("refusal");     // why Open refuses the file, if it does
        QTest::newRow("zero-length") << 0 << QString() << QByteArray() << "The file is empty";
        QTest::newRow("one byte") << 1 << QString() << QByteArray() << "too small to be an image";
        QTest::newRow("a ZIP archive") << (1 << 22) << QString() << QByteArray("PK\x03\x04")
                                       << "It is a ZIP archive, not an image: unpack it first.";
        QTest::newRow("ends inside the title")
            << NameTables::TitleOffset + 6 << QStringLiteral("ORVANE") + QString(15, QChar(0)) << QByteArray() << "";
        QTest::newRow("shorter than the first table") << nameAt(Category::Characters, 0)
                                                      << QStringLiteral("ORVANE TEST IMAGE    ") << QByteArray() << "";
        QTest::newRow("ends inside the item table") << nameAt(Category::Items, 200) + 5
                                                    << QStringLiteral("ORVANE TEST IMAGE    ") << QByteArray() << "";
    }

    void shortFilesLoadWithEmptyRowsAndRefuseSavesPastTheEnd()
    {
        QFETCH(int, length);
        QFETCH(QString, title);
        QFETCH(QByteArray, start);
        QFETCH(QString, refusal);
        EditorHarness h;
        const QString path = h.dir.filePath("short.smc");
        const QByteArray bytes = h.image.bytes.left(length).replace(0, start.size(), start);
        QVERIFY(writeAll(path, bytes));

        h.open(path);
        if (!refusal.isEmpty()) {
            // No image at all: refused, naming the file, as a file that will not open is.
            QVERIFY(reported(h, path, refusal));
            QCOMPARE(h.form->windowTitle(), versionCaption());
            QCOMPARE(readAll(path), bytes);
            return;
        }
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.form->windowTitle(), versionCaption() + QStringLiteral(" - ") + title);
        // Every row is there, read from the file where the file reaches.
        for (const NameTables::NameTable &table : NameTables::All) {
            const int c = int(table.category);
            QCOMPARE(h.list(c)->count(), table.entries);
            for (int i = 0; i < table.entries; ++i) {
                if (NameTables::nameOffset(table, i) + table.nameLength <= length)
                    QCOMPARE(h.list(c)->item(i)->text(), h.image.tables[c][i].decoded);
                else if (NameTables::nameOffset(table, i) >= length)
                    QCOMPARE(h.list(c)->item(i)->text(), QString());
            }
        }

        // The field that the end cuts through and the last field of all.
        save(h, Items, 200, QStringLiteral("Ax"));
        QVERIFY(reported(h, path, QStringLiteral("beyond the end of the file")));
        save(h, Items, 255, QStringLiteral("Ax"));
        QVERIFY(reported(h, path, QStringLiteral("beyond the end of the file")));
        QCOMPARE(readAll(path), bytes);

        // Where the file does hold the field, the save goes through.
        if (length >= nameAt(Category::Items, 199) + 12) {
            save(h, Items, 199, QStringLiteral("Ax"));
            QVERIFY(h.problems().isEmpty());
            QCOMPARE(readAll(path),
                     QByteArray(bytes).replace(nameAt(Category::Items, 199), 12,
                                               "\x80\xB1\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"));
        }
    }

    void hugeSparseFileIsReadOnlyWhereTheNamesLie()
    {
        EditorHarness h;
        const QString path = h.dir.filePath("huge.smc");
        // 512 past a multiple of 1024, so the size says headered as the image is.
        constexpr qint64 huge = (qint64(8) << 30) + 512;
        QVERIFY(writeAll(path, h.image.bytes));
        QVERIFY(QFile::resize(path, huge));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        if (qint64(st.st_blocks) * 512 > 64 << 20)
            QSKIP("This file system does not keep holes in files.");

        const StandIns::ReadCounter reads;
        h.open(path);
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.list(Items)->item(255)->text(), h.image.tables[Items][255].decoded);
        save(h, Monsters, 383, QStringLiteral("Slime"));
        QVERIFY(h.problems().isEmpty());
        // The title and the name fields are well under 64 KiB, all in the first 3 MiB.
        QVERIFY2(StandIns::ReadCounter::bytes < 64 << 10, qPrintable(QString::number(StandIns::ReadCounter::bytes)));
        QVERIFY(StandIns::ReadCounter::furthest <= NameTables::tableEnd(NameTables::table(Category::Magic)));

        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(qint64(st.st_size), huge);
        QVERIFY(qint64(st.st_blocks) * 512 < 64 << 20);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.seek(nameAt(Category::Monsters, 383)));
        QCOMPARE(file.read(10), QByteArray("\x92\xA5\xA2\xA6\x9E\xFF\xFF\xFF\xFF\xFF"));
    }

    void fileCutShortDuringTheLoadShowsEmptyRows()
    {
        EditorHarness h;
        // Another program cuts the image inside the monster table while the
        // characters are still loading.
        const int cut = nameAt(Category::Monsters, 100) + 4;
        QTimer::singleShot(0, h.form.get(), [&] { QVERIFY(QFile::resize(h.imagePath, cut)); });
        h.openDemo();
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.list(Characters)->item(63)->text(), h.image.tables[Characters][63].decoded);
        QCOMPARE(h.list(Monsters)->item(99)->text(), h.image.tables[Monsters][99].decoded);
        QCOMPARE(h.list(Monsters)->item(100)->text(), QStringLiteral("Mons"));
        QCOMPARE(h.list(Monsters)->item(101)->text(), QString());
        QCOMPARE(h.list(Items)->item(0)->text(), QString());
        // A leading byte past the end reads as 0.
        choose(h, Items, 7);
        QCOMPARE(h.byteBox()->currentIndex(), 0);
        QCOMPARE(h.nameText()->text(), QString());

        const QByteArray before = h.fileBytes();
        save(h, Items, 7, QStringLiteral("Ax"));
        QVERIFY(reported(h, h.imagePath, QStringLiteral("beyond the end of the file")));
        QCOMPARE(h.fileBytes(), before);
        QCOMPARE(QFileInfo(h.imagePath).size(), qint64(cut));
    }

    void deletedFileRefusesSavesAndStaysDeleted()
    {
        EditorHarness h;
        // Spaces and letters outside ASCII must come through to the message.
        QVERIFY(QDir(h.dir.path()).mkpath(QStringLiteral("Spiele für später")));
        const QString path = h.dir.filePath(QStringLiteral("Spiele für später/Ærger über Ñame 名前.smc"));
        QVERIFY(writeAll(path, h.image.bytes));
        h.open(path);
        QVERIFY(h.problems().isEmpty());
        save(h, Characters, 0, QStringLiteral("Slime"));
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(readAll(path).mid(nameAt(Category::Characters, 0), 6), QByteArray("\x92\xA5\xA2\xA6\x9E\xFF"));

        QVERIFY(QFile::remove(path));
        save(h, Characters, 1, QStringLiteral("Ax"));
        QVERIFY(reported(h, path, QStringLiteral("deleted")));
        QVERIFY(!QFile::exists(path));
        // The names stay on show; Close and a new Open behave as ever.
        QCOMPARE(h.list(Characters)->item(1)->text(), h.image.tables[Characters][1].decoded);
        h.form->mnuCloseROM_Click();
        h.open(path);
        QVERIFY(reported(h, path, QStringLiteral("No such file or directory")));
        QVERIFY(!QFile::exists(path));
    }

    void readFailingWhenARowIsChosen()
    {
        EditorHarness h;
        h.openDemo();
        h.option(Items)->click();
        {
            const StandIns::FailingReads failing;
            h.list(Items)->setCurrentRow(4);
        }
        QVERIFY(reported(h, h.imagePath, QStringLiteral("Input/output error")));
        // The window goes on, and the next row reads as ever.
        h.list(Items)->setCurrentRow(5);
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.nameText()->text(), h.image.tables[Items][5].decoded);
        QCOMPARE(h.byteBox()->currentIndex(), int(h.image.tables[Items][5].leadingByte));
    }

    void writeFailingDuringASave_data()
    {
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("first byte") << 0 << EIO << "Input/output error";
        QTest::newRow("disk full inside the name") << 4 << ENOSPC << "No space left on device";
        QTest::newRow("nothing written") << 0 << 0 << "Input/output error";
    }

    void writeFailingDuringASave()
    {
        QFETCH(int, accepted);
        QFETCH(int, error);
        QFETCH(QString, reason);
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        const int field = nameAt(Category::Items, 9);
        {
            const StandIns::FailingWrite failing(accepted, error);
            save(h, Items, 9, QStringLiteral("Slime"));
        }
        QVERIFY(reported(h, h.imagePath, reason));
        // A failed save leaves the old name whole, not blanked or half new.
        QCOMPARE(h.fileBytes(), before);

        // Once the disk works again, saving again puts the whole name there.
        h.saveButton()->click();
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.fileBytes(),
                 QByteArray(before).replace(field, 12, "\x92\xA5\xA2\xA6\x9E\xFF\xFF\xFF\xFF\xFF\xFF\xFF"));
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
