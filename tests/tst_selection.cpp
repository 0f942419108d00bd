// Choosing a category and an entry, walked through the window's states.
#include "EditorHarness.h"

#include <QClipboard>

class SelectionTest : public QObject {
    Q_OBJECT

    static void tick(EditorHarness &h) { h.form->tmr_Timer(); }

    static QStringList visibleLists(const EditorHarness &h)
    {
        QStringList shown;
        for (int c = 0; c < 4; ++c)
            if (h.list(c)->isVisible())
                shown << h.list(c)->objectName();
        return shown;
    }

    static int byteAt(const EditorHarness &h, int offset) { return quint8(h.image.bytes.at(offset)); }

private slots:
    void firstChoiceShowsEntryZero_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("showsByte");
        QTest::newRow("characters") << 0 << 6 << false;
        QTest::newRow("monsters") << 1 << 10 << false;
        QTest::newRow("magic") << 2 << 6 << true;
        QTest::newRow("items") << 3 << 12 << true;
    }

    void firstChoiceShowsEntryZero()
    {
        QFETCH(int, category);
        QFETCH(int, limit);
        QFETCH(bool, showsByte);
        EditorHarness h;
        h.openDemo();
        h.option(category)->click();
        QCOMPARE(h.nameText()->nameLimit(), limit);
        QCOMPARE(h.nameText()->text(), h.image.tables[category][0].decoded);
        QCOMPARE(h.list(category)->currentRow(), 0);
        QCOMPARE(h.byteBox()->isVisible(), showsByte);
        QCOMPARE(h.byteBox()->isEnabled(), showsByte);
        if (showsByte)
            QCOMPARE(h.byteBox()->currentIndex(), h.image.tables[category][0].leadingByte);
        // Shown at once, usable from the next tick on.
        QCOMPARE(visibleLists(h), QStringList{h.list(category)->objectName()});
        QVERIFY(!h.list(category)->isEnabled());
        QVERIFY(h.get<QTimer>("tmr")->isActive());
        tick(h);
        QVERIFY(h.list(category)->isEnabled());
    }

    void switchingCategoryTakesEffectAtTheNextTick()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        tick(h);
        h.option(0)->click();
        QCOMPARE(h.nameText()->nameLimit(), 6);
        QCOMPARE(h.nameText()->text(), QStringLiteral("Hero  "));
        QVERIFY(!h.byteBox()->isVisible());
        QVERIFY(!h.byteBox()->isEnabled());
        // Items lie in front of characters until the tick hides them.
        QCOMPARE(visibleLists(h), QStringList({"CharLST", "ItemLST"}));
        tick(h);
        QCOMPARE(visibleLists(h), QStringList{"CharLST"});
        for (int c = 0; c < 4; ++c)
            QVERIFY(h.list(c)->isEnabled());
    }

    // Each place that starts the timer brings one tick, and nothing comes after.
    void eachChangeIsPutRightByOneTick_data()
    {
        QTest::addColumn<QString>("steps"); // after an image is opened
        QTest::addColumn<QString>("untilTick");
        QTest::addColumn<QString>("afterTick");
        QTest::newRow("first choice") << "items" << "ItemLST" << "ItemLST";
        QTest::newRow("another choice") << "items tick chars" << "CharLST ItemLST" << "CharLST";
        QTest::newRow("close") << "items tick close" << "" << "ItemLST";
        // The close's tick comes among the load's yields, the load's own after it.
        QTest::newRow("close, then open") << "items tick close open" << "ItemLST" << "ItemLST";
    }

    void eachChangeIsPutRightByOneTick()
    {
        QFETCH(QString, steps);
        QFETCH(QString, untilTick);
        QFETCH(QString, afterTick);
        EditorHarness h;
        h.openDemo();
        auto *tmr = h.get<QTimer>("tmr");
        QSignalSpy ticks(tmr, &QTimer::timeout);
        // The item list stays shown and usable while it fills.
        int offWhileLoading = 0;
        connect(h.list(3)->model(), &QAbstractItemModel::rowsInserted, this, [&] {
            offWhileLoading += visibleLists(h) != QStringList{"ItemLST"} || !h.list(3)->isEnabled();
        });
        for (const QString &step : steps.split(' ')) {
            if (step == "tick")
                QTRY_VERIFY(!tmr->isActive());
            else if (step == "open")
                h.openDemo();
            else if (step == "close")
                h.form->mnuCloseROM_Click();
            else
                h.option(step == "items" ? 3 : 0)->click();
        }
        QCOMPARE(visibleLists(h).join(' '), untilTick);
        QVERIFY(tmr->isActive() && tmr->remainingTime() <= tmr->interval());
        QTRY_VERIFY(!tmr->isActive());
        QCOMPARE(visibleLists(h).join(' '), afterTick);
        QVERIFY(h.nameText()->isEnabled() && h.list(3)->isEnabled());
        QCOMPARE(offWhileLoading, 0);
        // A quiet second: one tick for each change and none since.
        QTest::qWait(1000);
        QCOMPARE(ticks.count(), steps.split(' ').size() - steps.count("tick"));
    }

    void selectingARowReadsTheEntrysFirstByte()
    {
        EditorHarness h;
        h.openDemo();
        h.option(0)->click();
        h.list(0)->setCurrentRow(5);
        QCOMPARE(h.byteBox()->currentIndex(), byteAt(h, 0x47ADE));
        QVERIFY(!h.byteBox()->isVisible());
        QCOMPARE(h.nameText()->text(), QStringLiteral("Knight"));

        h.option(2)->click();
        h.list(2)->setCurrentRow(53);
        QCOMPARE(h.byteBox()->currentIndex(), byteAt(h, 0x26F8DA));
        QCOMPARE(h.byteBox()->currentText(),
                 QStringLiteral("Byte: ") + QString::number(byteAt(h, 0x26F8DA), 16).toUpper());
        QCOMPARE(h.nameText()->text(), QStringLiteral("Spl53 "));

        h.option(3)->click();
        h.list(3)->setCurrentRow(255);
        QCOMPARE(h.byteBox()->currentIndex(), byteAt(h, 0x12C1F3));
    }

    void returningToACategoryShowsEntryZeroAgain()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        h.list(3)->setCurrentRow(9);
        h.option(2)->click();
        h.option(3)->click();
        QCOMPARE(h.nameText()->text(), h.image.tables[3][0].decoded);
        QCOMPARE(h.list(3)->currentRow(), 0);

        // Row 0 was still current: the entry must show all the same.
        h.option(2)->click();
        h.option(3)->click();
        QCOMPARE(h.nameText()->text(), h.image.tables[3][0].decoded);
        QCOMPARE(h.byteBox()->currentIndex(), h.image.tables[3][0].leadingByte);
    }

    void longNameIsShownWholeAndTypingAddsNothing()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        tick(h);
        h.list(3)->setCurrentRow(DemoImage::ItemWithEllipsis);
        NameEdit *edit = h.nameText();
        QCOMPARE(edit->text(), QStringLiteral("...EtherPlus  "));
        edit->setFocus();
        edit->end(false);
        QTest::keyClicks(edit, "xy");
        QCOMPARE(edit->text(), QStringLiteral("...EtherPlus  "));
        // Deleting always works; typing resumes only below the limit.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("...EtherPlu"));
        QTest::keyClicks(edit, "sXYZ");
        QCOMPARE(edit->text(), QStringLiteral("...EtherPlus"));
        // A paste is cut to what fits.
        edit->setText(QStringLiteral("Ax"));
        edit->end(false);
        QApplication::clipboard()->setText(QStringLiteral(" of the North"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("Ax of the No"));
        // A lower limit never cuts what is there.
        edit->setNameLimit(6);
        QCOMPARE(edit->text(), QStringLiteral("Ax of the No"));
    }

    void byteBoxChangesWriteNothing()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        const QByteArray before = h.fileBytes();
        h.byteBox()->setCurrentIndex(0x42);
        h.list(3)->setCurrentRow(1);
        QCOMPARE(h.byteBox()->currentIndex(), h.image.tables[3][1].leadingByte);
        QCOMPARE(h.fileBytes(), before);
    }

    void closeAfterAChoiceThenLoadAgain()
    {
        EditorHarness h;
        h.openDemo();
        h.option(3)->click();
        h.list(3)->setCurrentRow(7);
        h.form->mnuCloseROM_Click();
        QVERIFY(!h.nameText()->isEnabled());
        QCOMPARE(visibleLists(h), QStringList());
        tick(h);
        QVERIFY(h.nameText()->isEnabled());
        QVERIFY(h.nameText()->text().isEmpty());
        QCOMPARE(visibleLists(h), QStringList{"ItemLST"});
        QCOMPARE(h.list(3)->count(), 0);
        QVERIFY(h.option(3)->isChecked());
        QVERIFY(!h.option(3)->isEnabled());
        QVERIFY(!h.byteBox()->isVisible());
        QVERIFY(!h.byteBox()->isEnabled());
        QVERIFY(!h.saveButton()->isEnabled());
        QVERIFY(h.get<QTimer>("tmr")->isActive());

        QTest::keyClicks(h.nameText(), "Slime");
        h.openDemo();
        tick(h);
        QCOMPARE(visibleLists(h), QStringList{"ItemLST"});
        QCOMPARE(h.list(3)->count(), 256);
        QCOMPARE(h.list(3)->currentRow(), -1);
        QCOMPARE(h.nameText()->text(), QStringLiteral("Slime"));
        QCOMPARE(h.nameText()->nameLimit(), 12);
        h.list(3)->setCurrentRow(1);
        QCOMPARE(h.nameText()->text(), h.image.tables[3][1].decoded);
    }

    // Tab into the list after a close and a new load: Qt makes row 0 the
    // current row but selects nothing, so nothing shows and Save writes nothing.
    void focusByKeyboardSelectsNoEntry()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.openDemo();
        h.option(3)->click();
        h.form->mnuCloseROM_Click();
        h.openDemo();
        tick(h);
        const QByteArray before = h.fileBytes();
        h.nameText()->setFocus();
        QTest::keyClick(h.nameText(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), h.list(3));
        QCOMPARE(h.list(3)->currentRow(), 0);
        QVERIFY(h.list(3)->selectedItems().isEmpty());
        QVERIFY(h.nameText()->text().isEmpty());
        QCOMPARE(h.byteBox()->currentIndex(), 0);
        h.nameText()->setText(QStringLiteral("Slime"));
        h.saveButton()->click();
        QCOMPARE(h.fileBytes(), before);
        // The first Down selects the row the focus frame is on, not the next.
        QTest::keyClick(h.list(3), Qt::Key_Down);
        QCOMPARE(h.list(3)->selectedItems(), QList<QListWidgetItem *>{h.list(3)->item(0)});
        QCOMPARE(h.nameText()->text(), h.image.tables[3][0].decoded);
        // Choosing the category again selects row 0 though it is current already.
        h.option(2)->click();
        h.option(3)->click();
        QCOMPARE(h.list(3)->selectedItems().size(), 1);
        QCOMPARE(h.nameText()->text(), h.image.tables[3][0].decoded);
    }

    // In a plain single-selection list Ctrl with a click or the space bar
    // deselects the row; here it stays selected, so Save still has its entry.
    void theSelectedRowCannotBeCleared_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("ctrl+click") << true;
        QTest::newRow("ctrl+space") << false;
    }

    void theSelectedRowCannotBeCleared()
    {
        QFETCH(bool, byMouse);
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.openDemo();
        h.option(0)->click();
        tick(h);
        QListWidget *names = h.list(0);
        names->setCurrentRow(3);
        h.nameText()->setText(QStringLiteral("Ax"));
        if (byMouse) {
            QTest::mouseClick(names->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              names->visualItemRect(names->item(3)).center());
        } else {
            names->setFocus();
            QTest::keyClick(names, Qt::Key_Space, Qt::ControlModifier);
        }
        QCOMPARE(names->selectedItems(), QList<QListWidgetItem *>{names->item(3)});
        QCOMPARE(h.nameText()->text(), QStringLiteral("Ax"));
        QByteArray expected = h.fileBytes();
        expected.replace(0x47AC0 + 6 * 3, 6, QByteArray("\x80\xB1\xFF\xFF\xFF\xFF", 6));
        h.saveButton()->click();
        QCOMPARE(h.fileBytes(), expected);
    }

    void rowsWithoutAnImageShowNothing()
    {
        EditorHarness h;
        h.openDemo();
        h.option(0)->click();
        h.list(0)->setCurrentRow(3);
        h.form->mnuCloseROM_Click();
        // A list that somehow still has rows: selecting one must not touch the file.
        h.list(0)->addItems({"Hero", "Ax"});
        h.list(0)->setCurrentRow(1);
        QVERIFY(h.nameText()->text().isEmpty());
        QVERIFY(h.problems().isEmpty());
    }
};

QTEST_MAIN(SelectionTest)
#include "tst_selection.moc"
