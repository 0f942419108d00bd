// Open ROM: the demo image loads whole, bad choices are reported and change
// nothing, and nothing interleaves with a running load.
#include "CoreQt.h"
#include "EditorHarness.h"

#include "NameTables.h"
#include "RomFile.h"

#include <sys/stat.h>

class LoadingTest : public QObject {
    Q_OBJECT

    static constexpr int counts[] = {64, 384, 54, 256};

    // Every list holds its whole table as the demo image decodes it.
    static bool loadedWhole(const EditorHarness &h)
    {
        for (int c = 0; c < 4; ++c) {
            if (h.list(c)->count() != counts[c])
                return false;
            for (int i = 0; i < counts[c]; ++i)
                if (h.list(c)->item(i)->text() != h.image.tables[c][i].decoded)
                    return false;
        }
        return true;
    }

private slots:
    void loadsEveryTableInOrder()
    {
        EditorHarness h;
        h.openDemo();
        QVERIFY(h.problems().isEmpty());
        QVERIFY(loadedWhole(h));
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(h.list(c)->currentRow(), -1);
            QVERIFY(!h.list(c)->isVisible());
            QVERIFY(h.option(c)->isEnabled());
            QVERIFY(!h.option(c)->isChecked());
        }
        QCOMPARE(h.list(0)->item(0)->text(), QStringLiteral("Hero  "));
        QCOMPARE(h.list(3)->item(DemoImage::ItemWithEllipsis)->text(), QStringLiteral("...EtherPlus  "));
        QCOMPARE(h.list(0)->item(DemoImage::CharacterWithVanishingByte)->text(), QStringLiteral("Hero "));
        QCOMPARE(h.list(1)->item(DemoImage::MonsterWithNoCharacters)->text(), QString());
        // The title keeps its trailing blanks.
        QCOMPARE(h.form->windowTitle(), versionCaption() + QStringLiteral(" - ORVANE TEST IMAGE    "));
        auto *bar = h.get<QProgressBar>("pbar");
        QVERIFY(!bar->isVisible());
        QCOMPARE(bar->maximum(), 255);
        QCOMPARE(bar->value(), 255);
        QVERIFY(h.nameText()->isEnabled());
        QVERIFY(h.saveButton()->isEnabled());
        QVERIFY(!h.byteBox()->isVisible());
        QCOMPARE(h.byteBox()->currentIndex(), 0);
        QVERIFY(!h.get<QTimer>("tmr")->isActive());
    }

    void captionAndBarReportProgressWhileLoading()
    {
        EditorHarness h;
        QStringList captions;
        bool barShown = false;
        connect(h.form.get(), &QWidget::windowTitleChanged, this, [&](const QString &title) {
            if (captions.isEmpty() || captions.last() != title)
                captions << title;
            barShown = barShown || h.get<QProgressBar>("pbar")->isVisible();
        });
        h.openDemo();
        QCOMPARE(captions, QStringList({versionCaption(),
                                        versionCaption() + QStringLiteral(" - ORVANE TEST IMAGE    "),
                                        versionCaption() + QStringLiteral(" - Loading Characters..."),
                                        versionCaption() + QStringLiteral(" - Loading Monsters..."),
                                        versionCaption() + QStringLiteral(" - Loading Magic..."),
                                        versionCaption() + QStringLiteral(" - Loading Items..."),
                                        versionCaption() + QStringLiteral(" - ORVANE TEST IMAGE    ")}));
        QVERIFY(barShown);
    }

    void shortFileLoadsAsEmptyNames()
    {
        EditorHarness h;
        const QString path = h.dir.filePath("short.smc");
        QVERIFY(writeAll(path, h.image.bytes.left(0x47AC0 + 6 * 10 + 3)));
        h.open(path);
        QVERIFY(h.problems().isEmpty());
        QCOMPARE(h.list(0)->item(9)->text(), QStringLiteral("Cleric"));
        // Entry 10 is cut inside its field; entry 11 lies wholly past the end.
        QCOMPARE(h.list(0)->item(10)->text(), QStringLiteral("All"));
        QCOMPARE(h.list(0)->item(11)->text(), QString());
        QCOMPARE(h.list(3)->count(), 256);
        QCOMPARE(QFileInfo(path).size(), qint64(0x47AC0 + 63));
    }

    void cancelChangesNothing()
    {
        EditorHarness h;
        h.open(QString());
        QCOMPARE(h.form->windowTitle(), versionCaption());
        QVERIFY(!h.nameText()->isEnabled());

        h.openDemo();
        h.option(3)->click();
        h.list(3)->setCurrentRow(4);
        const QString caption = h.form->windowTitle();
        h.open(QString());
        QCOMPARE(h.form->windowTitle(), caption);
        QVERIFY(h.form->rom().isOpen());
        QCOMPARE(h.list(3)->count(), 256);
        QCOMPARE(h.list(3)->currentRow(), 4);
        QVERIFY(h.saveButton()->isEnabled());
    }

    void failedOpenIsReportedAndKeepsTheOpenImage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "gone.smc" << "No such file or directory";
        QTest::newRow("directory") << "folder" << "Is a directory";
        QTest::newRow("fifo") << "pipe" << "Not a regular file";
        QTest::newRow("character device") << "/dev/zero" << "Not a regular file";
        QTest::newRow("read-only") << "locked.smc" << "Permission denied";
    }

    void failedOpenIsReportedAndKeepsTheOpenImage()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        EditorHarness h;
        QVERIFY(QDir(h.dir.path()).mkpath("folder"));
        QCOMPARE(::mkfifo(QFile::encodeName(h.dir.filePath("pipe")).constData(), 0644), 0);
        const QString locked = h.dir.filePath("locked.smc");
        QVERIFY(writeAll(locked, h.image.bytes));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup));
        const QString path = QDir(h.dir.path()).filePath(name);

        h.open(path);
        QCOMPARE(h.problems().size(), 1);
        const QString message = h.problems().first()->text();
        QVERIFY2(message.contains(path) && message.contains(reason), qPrintable(message));
        QCOMPARE(h.form->windowTitle(), versionCaption());
        h.dismissProblems();

        h.openDemo();
        const QByteArray before = h.fileBytes();
        h.open(path);
        QCOMPARE(h.problems().size(), 1);
        QVERIFY(h.form->rom().isOpen());
        QCOMPARE(toQ(h.form->rom().path()), h.imagePath);
        QCOMPARE(h.list(0)->count(), 64);
        QCOMPARE(h.form->windowTitle(), versionCaption() + QStringLiteral(" - ORVANE TEST IMAGE    "));
        QVERIFY(!QFile::exists(h.dir.filePath("gone.smc")));
        QCOMPARE(h.fileBytes(), before);
        QCOMPARE(readAll(locked), h.image.bytes);
    }

    void secondOpenReplacesTheFirst()
    {
        EditorHarness h;
        h.openDemo();
        QByteArray other = h.image.bytes;
        other.replace(0x47AC0, 6, QByteArray("\x8D\x9E\xB0\xFF\xFF\xFF", 6));  // "New"
        const QString otherPath = h.dir.filePath("other.swc");
        QVERIFY(writeAll(otherPath, other));
        h.open(otherPath);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(h.list(c)->count(), counts[c]);
        QCOMPARE(h.list(0)->item(0)->text(), QStringLiteral("New   "));
        QCOMPARE(toQ(h.form->rom().path()), otherPath);
    }

    void commandsDuringALoadDoNothing()
    {
        EditorHarness h;
        h.openDemo();
        h.option(0)->click();
        int opens = 0;
        bool checked = false;
        // Fired from the first of the load's own yields.
        QTimer::singleShot(0, h.form.get(), [&] {
            QVERIFY(h.form->isLoading());
            h.chooseWith([&](const OpenFileDialog &) {
                ++opens;
                return QString();
            });
            h.form->mnuOpenROM_Click();
            h.form->mnuCloseROM_Click();
            h.form->SaveCMD_Click();
            h.option(2)->click();
            checked = true;
        });
        const QByteArray before = h.fileBytes();
        h.open(h.imagePath);
        QVERIFY(checked);
        QCOMPARE(opens, 0);
        QVERIFY(h.form->rom().isOpen());
        QCOMPARE(h.list(3)->count(), 256);
        QVERIFY(h.option(0)->isChecked());
        QCOMPARE(h.fileBytes(), before);
    }

    // Help, About opens during a load as at any other time; the load waits
    // in the window's own loop and goes on once it is closed.
    void aboutOpensDuringALoadAndTheLoadGoesOn()
    {
        EditorHarness h;
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        QString opened;
        bool loadingMeanwhile = false;
        QTimer::singleShot(0, h.form.get(), [&] {
            QTimer::singleShot(0, [&] {
                QWidget *about = QApplication::activeModalWidget();
                opened = about ? about->objectName() : QString();
                loadingMeanwhile = h.form->isLoading();
                if (about)
                    about->close();
            });
            QTest::keyClick(h.form->windowHandle(), Qt::Key_F1);
        });
        h.openDemo();
        QCOMPARE(opened, QStringLiteral("About"));
        QVERIFY(loadingMeanwhile);
        QVERIFY(!h.form->isLoading());
        QVERIFY(loadedWhole(h));
        QCOMPARE(h.form->windowTitle(), versionCaption() + QStringLiteral(" - ORVANE TEST IMAGE    "));
        QVERIFY(h.saveButton()->isEnabled());
    }

    // Qt reads "[*]" in a caption as the place of its modified marker; the
    // title is shown exactly as the image holds it.
    void titleIsShownAsWritten()
    {
        EditorHarness h;
        const QByteArray title("HERO [*] [*][*][* *]A");
        const QString path = h.dir.filePath("marked.smc");
        QVERIFY(writeAll(path, QByteArray(h.image.bytes).replace(NameTables::TitleOffset, 21, title)));
        h.open(path);
        h.form->setWindowModified(true);
        QCOMPARE(h.form->windowHandle()->title(), versionCaption() + QStringLiteral(" - ") + QString::fromLatin1(title));
    }

    void readFailureDuringALoadResetsTheWindow()
    {
        EditorHarness h;
        {
            const StandIns::FailingReads failing(500);
            h.openDemo();
        }
        QCOMPARE(h.problems().size(), 1);
        QVERIFY(h.problems().first()->text().contains("Input/output error"));
        QVERIFY(!h.form->rom().isOpen());
        QCOMPARE(h.list(0)->count(), 0);
        QCOMPARE(h.form->windowTitle(), QStringLiteral("Orvane Name Editor - No ROM loaded."));
        QVERIFY(!h.saveButton()->isEnabled());
        QVERIFY(!h.get<QProgressBar>("pbar")->isVisible());
    }
};

QTEST_MAIN(LoadingTest)
#include "tst_loading.moc"
