// The main window as it starts: every control where it belongs, in its
// no-image state, and the keyboard working before any image is open.
#include "EditorHarness.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QListView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsInTheNoImageState()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));
        for (int c = 0; c < 4; ++c) {
            QVERIFY(!h.list(c)->isVisible());
            QVERIFY(!h.list(c)->isEnabled());
            QCOMPARE(h.list(c)->count(), 0);
            QVERIFY(h.option(c)->isVisible());
            QVERIFY(!h.option(c)->isEnabled());
            QVERIFY(!h.option(c)->isChecked());
        }
        QVERIFY(!h.byteBox()->isVisible());
        QVERIFY(h.nameText()->isVisible());
        QVERIFY(!h.nameText()->isEnabled());
        QVERIFY(h.nameText()->text().isEmpty());
        QCOMPARE(h.nameText()->nameLimit(), 16);
        QVERIFY(!h.get<QProgressBar>("pbar")->isVisible());
        QCOMPARE(h.get<QProgressBar>("pbar")->maximum(), 100);
        QVERIFY(!h.saveButton()->isEnabled());
        QVERIFY(h.get<QPushButton>("QuitCMD")->isEnabled());
        QVERIFY(!h.get<QTimer>("tmr")->isActive());
        QCOMPARE(h.get<QTimer>("tmr")->interval(), 1);
        QCOMPARE(h.get<QLabel>("IntentionalLBL")->text(),
                 QStringLiteral("This space is intentionally left blank."));
        QCOMPARE(h.get<QLabel>("IntentionalLBL")->parentWidget(), h.get<QGroupBox>("Frame1"));
        QCOMPARE(h.get<QTabWidget>("tstrip1")->count(), 1);
        QCOMPARE(h.get<QTabWidget>("tstrip1")->tabText(0), QStringLiteral("Name Editor"));
        QCOMPARE(h.saveButton()->text(), QStringLiteral("&Save"));
        QCOMPARE(h.nameText()->accessibleName(), QStringLiteral("Name"));
        QCOMPARE(h.byteBox()->accessibleName(), QStringLiteral("Leading byte"));
        QCOMPARE(h.list(3)->accessibleName(), QStringLiteral("Item names"));
    }

    void byteListHoldsEveryValueWithoutLeadingZeros()
    {
        EditorHarness h;
        QComboBox *box = h.byteBox();
        QCOMPARE(box->count(), 256);
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(!box->isEditable());
        QCOMPARE(box->itemText(0), QStringLiteral("Byte: 0"));
        QCOMPARE(box->itemText(5), QStringLiteral("Byte: 5"));
        QCOMPARE(box->itemText(10), QStringLiteral("Byte: A"));
        QCOMPARE(box->itemText(15), QStringLiteral("Byte: F"));
        QCOMPARE(box->itemText(16), QStringLiteral("Byte: 10"));
        QCOMPARE(box->itemText(171), QStringLiteral("Byte: AB"));
        QCOMPARE(box->itemText(255), QStringLiteral("Byte: FF"));
    }

    void controlsSitWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("tab") << "tstrip1" << QRect(10, 8, 383, 265);
        QTest::newRow("characters") << "CharOPT" << QRect(312, 32, 77, 17);
        QTest::newRow("items") << "ItemOPT" << QRect(312, 80, 77, 17);
        QTest::newRow("char list") << "CharLST" << QRect(20, 38, 93, 225);
        QTest::newRow("item list") << "ItemLST" << QRect(20, 38, 93, 225);
        QTest::newRow("byte") << "ByteCBO" << QRect(116, 54, 81, 21);
        QTest::newRow("name") << "NameTXT" << QRect(200, 54, 103, 21);
        QTest::newRow("frame") << "Frame1" << QRect(122, 96, 261, 147);
        QTest::newRow("label in frame") << "IntentionalLBL" << QRect(6, 66, 247, 43);
        QTest::newRow("bar") << "pbar" << QRect(122, 246, 261, 17);
        QTest::newRow("save") << "SaveCMD" << QRect(216, 282, 89, 19);
        QTest::newRow("quit") << "QuitCMD" << QRect(304, 282, 89, 19);
    }

    void controlsSitWhereTheLayoutPutsThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        EditorHarness h;
        auto *widget = h.form->findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), rect);
        QWidget *client = h.form->centralWidget();
        QCOMPARE(client->size(), QSize(402, 309));
        // The window is the client area and the menu bar, and cannot be resized.
        QCOMPARE(h.form->minimumSize(), h.form->maximumSize());
        QVERIFY(!(h.form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }

    void stackingAndFonts()
    {
        EditorHarness h;
        const QObjectList &order = h.form->centralWidget()->children();
        auto index = [&](const char *name) { return order.indexOf(h.get<QWidget>(name)); };
        QCOMPARE(index("tstrip1"), 0);
        QVERIFY(index("CharLST") < index("MonsterLST"));
        QVERIFY(index("MagicLST") < index("ItemLST"));
        QCOMPARE(h.form->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(h.form->font().pointSizeF(), 8.25);
        QCOMPARE(h.get<QLabel>("IntentionalLBL")->font().pointSizeF(), 14.25);
        // Every caption fits its control in the fixed layout.
        for (int c = 0; c < 4; ++c)
            QVERIFY2(h.option(c)->sizeHint().width() <= h.option(c)->width(),
                     qPrintable(h.option(c)->text()));
    }

    void keyboardOrderStartsAtQuit()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        QCOMPARE(QApplication::focusWidget(), h.get<QWidget>("QuitCMD"));
        // The chain also passes through the controls' inner parts; keep the named ones.
        QStringList chain;
        for (QWidget *w = h.list(0); chain.size() < 9; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty()
                && !w->objectName().startsWith("qt_"))
                chain << w->objectName();
        QCOMPARE(chain, QStringList({"CharLST", "ByteCBO", "NameTXT", "CharOPT", "MonsterOPT",
                                     "MagicOPT", "ItemOPT", "SaveCMD", "QuitCMD"}));

        QSignalSpy quit(h.get<QPushButton>("QuitCMD"), &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(quit.count(), 2);
    }

    void menuCarriesItsShortcuts()
    {
        EditorHarness h;
        const QList<QPair<const char *, QKeySequence>> items = {
            {"mnuOpenROM", QKeySequence(QStringLiteral("Ctrl+O"))},
            {"mnuCloseROM", QKeySequence(QStringLiteral("Ctrl+W"))},
            {"mnuQuit", QKeySequence(QStringLiteral("Ctrl+Q"))},
            {"mnuAbout", QKeySequence(QStringLiteral("F1"))}};
        for (const auto &[name, keys] : items) {
            auto *action = h.get<QAction>(name);
            QVERIFY2(action, name);
            QCOMPARE(action->shortcut(), keys);
            QVERIFY(action->isEnabled());
        }
        QVERIFY(h.get<QAction>("mnusep01")->isSeparator());
        QCOMPARE(h.get<QMenu>("mnuFile")->title(), QStringLiteral("&File"));
        QCOMPARE(h.get<QMenu>("mnuHelp")->title(), QStringLiteral("&Help"));
    }

    void shortcutsActBeforeAnyImage()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        int asked = 0;
        h.chooseWith([&](const OpenFileDialog &dialog) {
            ++asked;
            // Three filters, the image filter preselected.
            if (OpenFileDialog::qtNameFilters(dialog.filter).size() != 3 || dialog.filterIndex != 2)
                return QStringLiteral("wrong dialog");
            return QString();
        });
        QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(h.form->windowTitle(), versionCaption());
        QTest::keyClick(h.form.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));
    }

    void helpKeyOpensAboutOverAWindowThatWaits()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        int asked = 0;
        h.chooseWith([&](const OpenFileDialog &) {
            ++asked;
            return QString();
        });
        QString opened;
        QTimer::singleShot(0, [&] {
            QWidget *about = QApplication::activeModalWidget();
            QVERIFY(about);
            opened = about->objectName();
            // Shortcuts and clicks meant for the main window go nowhere.
            QTest::keyClick(h.form->windowHandle(), Qt::Key_O, Qt::ControlModifier);
            QTest::keyClick(h.form->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
            auto *quit = h.get<QPushButton>("QuitCMD");
            QTest::mouseClick(h.form->windowHandle(), Qt::LeftButton, {},
                              quit->mapTo(h.form.get(), quit->rect().center()));
            about->close();
        });
        QTest::keyClick(h.form->windowHandle(), Qt::Key_F1);
        QCOMPARE(opened, QStringLiteral("About"));
        QCOMPARE(asked, 0);
        QVERIFY(h.form->isVisible());
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));
    }

    void realDialogFiltersMatchAnyCase()
    {
        QTemporaryDir dir;
        for (const char *name : {"GAME.SMC", "hero.smc", "Slime.Swc", "README", "notes.txt"})
            QVERIFY(writeAll(dir.filePath(name), "x"));
        OpenFileDialog settings;
        settings.filter = QStringLiteral(
            "All Files (*.*)|*.*|Super MagiCom ROM File (*.smc)|*.smc|Super Wild Card ROM File (*.swc)|*.swc");
        settings.filterIndex = 2;
        QFileDialog dialog;
        settings.configure(dialog);
        dialog.setDirectory(dir.path());
        auto *types = dialog.findChild<QComboBox *>("fileTypeCombo");
        QCOMPARE(types->currentText(), QStringLiteral("Super MagiCom ROM File (*.smc)"));
        QCOMPARE(types->itemText(0), QStringLiteral("All Files (*.*)"));
        auto *view = dialog.findChild<QListView *>("listView");
        auto shown = [&] {
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r)
                if (!view->isRowHidden(r))
                    names << view->model()->index(r, 0, root).data().toString();
            names.sort();
            return names;
        };
        QTRY_COMPARE(shown(), QStringList({"GAME.SMC", "hero.smc"}));
        dialog.selectNameFilter(OpenFileDialog::qtNameFilters(settings.filter).first());
        QTRY_COMPARE(shown(), QStringList({"GAME.SMC", "README", "Slime.Swc", "hero.smc", "notes.txt"}));
    }

    void dialogFiltersKeepTheirDescriptions()
    {
        const QStringList filters = OpenFileDialog::qtNameFilters(QStringLiteral(
            "All Files (*.*)|*.*|Super MagiCom ROM File (*.smc)|*.smc|Super Wild Card ROM File (*.swc)|*.swc"));
        QCOMPARE(filters, QStringList({"All Files (*.*) (*)",
                                       "Super MagiCom ROM File (*.smc) (*.[sS][mM][cC])",
                                       "Super Wild Card ROM File (*.swc) (*.[sS][wW][cC])"}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
