// Save writes exactly the name field and nothing else; Close ROM returns the
// window to its no-image look.
#include "EditorHarness.h"

#include "NameTables.h"
#include "RomFile.h"

class SavingTest : public QObject {
    Q_OBJECT

    // Chooses a category and row, types a name and presses Save.
    static void save(EditorHarness &h, int category, int row, const QString &name)
    {
        h.option(category)->click();
        h.list(category)->setCurrentRow(row);
        h.nameText()->setText(name);
        h.saveButton()->click();
    }

    static QByteArray withField(QByteArray bytes, int offset, const QByteArray &field)
    {
        return bytes.replace(offset, field.size(), field);
    }

private slots:
    void saveWritesOnlyTheNameField()
    {
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        save(h, 0, 12, QStringLiteral("Hero"));
        QCOMPARE(h.fileBytes(), withField(before, 0x47AC0 + 6 * 12, "\x87\x9E\xAB\xA8\xFF\xFF"));
        QCOMPARE(h.nameText()->text(), QStringLiteral("Hero"));
        QVERIFY(h.problems().isEmpty());
    }

    // After a Save that went in, the row shows the name as a new load would,
    // so coming back to the row later shows the new name; a refused or failed
    // Save leaves it. Either way the Name box keeps what was typed.
    void rowShowsWhatTheFileHoldsAfterASave_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("diskFails");
        QTest::addColumn<QString>("shown");  // empty: the row as loaded
        QTest::newRow("whole field") << 0 << 0 << "Newnam" << false << "Newnam";
        QTest::newRow("blanks kept") << 3 << 5 << "Ax" << false << "Ax          ";
        QTest::newRow("without a code") << 0 << 1 << QStringLiteral("A&\u00E9B") << false << "A  B  ";
        QTest::newRow("too long") << 0 << 2 << "Slimes!" << false << QString();
        QTest::newRow("failing disk") << 1 << 4 << "Slime" << true << QString();
    }

    void rowShowsWhatTheFileHoldsAfterASave()
    {
        QFETCH(int, category);
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(bool, diskFails);
        QFETCH(QString, shown);
        EditorHarness h;
        h.openDemo();
        if (shown.isEmpty())
            shown = h.image.tables[category][row].decoded;
        {
            std::optional<StandIns::FailingWrite> failing;
            if (diskFails)
                failing.emplace(0, EIO);
            save(h, category, row, name);
        }
        QListWidget *names = h.list(category);
        QCOMPARE(names->item(row)->text(), shown);
        QCOMPARE(names->selectedItems(), QList<QListWidgetItem *>{names->item(row)});
        QCOMPARE(h.nameText()->text(), name);
    }

    void leadingBytesAreNeverWritten()
    {
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        save(h, 3, 0, QStringLiteral("Ax"));
        save(h, 2, 0, QString());
        QByteArray expected = withField(before, 0x12B501, "\x80\xB1\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF");
        expected = withField(expected, 0x26F768, "\xFF\xFF\xFF\xFF\xFF\xFF");
        QCOMPARE(h.fileBytes(), expected);
        // The last monster and item fields end their tables.
        save(h, 1, 383, QStringLiteral("Slime"));
        save(h, 3, 255, QStringLiteral("Potion"));
        expected = withField(expected, 0xFD146, "\x92\xA5\xA2\xA6\x9E\xFF\xFF\xFF\xFF\xFF");
        expected = withField(expected, 0x12C1F4, "\x8F\xA8\xAD\xA2\xA8\xA7\xFF\xFF\xFF\xFF\xFF\xFF");
        QCOMPARE(h.fileBytes(), expected);
    }

    void charactersWithoutCodeBecomeBlanks()
    {
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        save(h, 0, 1, QStringLiteral("A&") + QChar(0xE9) + u'B');
        QCOMPARE(h.fileBytes(), withField(before, 0x47AC6, "\x80\xFF\xFF\x81\xFF\xFF"));
    }

    void refusedSavesLeaveTheFileAsItWas()
    {
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        // A loaded name with the three-character entry is longer than its field.
        h.option(3)->click();
        h.list(3)->setCurrentRow(DemoImage::ItemWithEllipsis);
        h.saveButton()->click();
        QCOMPARE(h.problems().size(), 1);
        QVERIFY(h.problems().first()->text().contains("The name needs 14 bytes and the field holds 12."));
        QCOMPARE(h.fileBytes(), before);
        h.dismissProblems();

        // No row selected: after a close and a new load.
        h.form->mnuCloseROM_Click();
        h.openDemo();
        QCOMPARE(h.list(3)->currentRow(), -1);
        h.form->SaveCMD_Click();
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.fileBytes(), before);
    }

    void saveWithNoCategoryWritesNothing()
    {
        EditorHarness h;
        h.openDemo();
        const QByteArray before = h.fileBytes();
        h.nameText()->setText(QStringLiteral("Hero"));
        h.saveButton()->click();
        QCOMPARE(h.fileBytes(), before);
    }

    void fieldPastTheEndIsRefusedBeforeAnyWrite()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        h.list(3)->setCurrentRow(200);
        // Another program cuts the image short while it is open.
        const int cut = NameTables::nameOffset(NameTables::table(NameTables::Category::Items), 200) + 5;
        QVERIFY(QFile::resize(h.imagePath, cut));
        const QByteArray before = h.fileBytes();
        h.nameText()->setText(QStringLiteral("Ax"));
        h.saveButton()->click();
        QCOMPARE(h.problems().size(), 1);
        QVERIFY(h.problems().first()->text().contains("beyond the end of the file"));
        QCOMPARE(h.fileBytes(), before);
        QCOMPARE(QFileInfo(h.imagePath).size(), qint64(cut));
    }

    void failingDiskIsReportedAndTheWindowGoesOn()
    {
        EditorHarness h;
        h.openDemo();
        {
            const StandIns::FailingSync failing;
            save(h, 0, 0, QStringLiteral("Ax"));
        }
        QCOMPARE(h.problems().size(), 1);
        const QString message = h.problems().first()->text();
        QVERIFY2(message.contains(h.imagePath) && message.contains("Input/output error"), qPrintable(message));
        // The bytes went in before the sync failed: the message and the row say so.
        QVERIFY2(message.contains("went into") && message.contains("may not be on the disk yet"), qPrintable(message));
        QCOMPARE(h.list(0)->item(0)->text(), QStringLiteral("Ax    "));
        QCOMPARE(h.fileBytes().mid(0x47AC0, 6), QByteArray("\x80\xB1\xFF\xFF\xFF\xFF", 6));
        QVERIFY(h.form->rom().isOpen());
        QVERIFY(h.saveButton()->isEnabled());
    }

    void closeReturnsToTheNoImageLook()
    {
        EditorHarness h;
        // Before any image, and twice in a row: nothing to see changes.
        h.form->mnuCloseROM_Click();
        h.form->mnuCloseROM_Click();
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));

        h.openDemo();
        h.form->mnuCloseROM_Click();
        QVERIFY(!h.form->rom().isOpen());
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(h.list(c)->count(), 0);
            QVERIFY(!h.list(c)->isVisible());
            QVERIFY(!h.option(c)->isEnabled());
        }
        QVERIFY(!h.nameText()->isEnabled());
        QVERIFY(!h.byteBox()->isVisible());
        QVERIFY(!h.byteBox()->isEnabled());
        QCOMPARE(h.byteBox()->currentIndex(), 0);
        QVERIFY(!h.saveButton()->isEnabled());
        QVERIFY(!h.get<QTimer>("tmr")->isActive());
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));
    }

    void quitDropsUnsavedTextAndReleasesTheFile()
    {
        EditorHarness h;
        h.openDemo();
        save(h, 0, 0, QStringLiteral("Ax"));
        const QByteArray saved = h.fileBytes();
        h.nameText()->setText(QStringLiteral("Slime"));
        h.form->close();
        QVERIFY(!h.form->rom().isOpen());
        QVERIFY(!h.form->isVisible());
        QVERIFY(!h.get<QTimer>("tmr")->isActive());
        QCOMPARE(h.fileBytes(), saved);
    }
};

QTEST_MAIN(SavingTest)
#include "tst_saving.moc"
