// The About window: its text, its layout, its link and how it opens and closes.
#include "About.h"
#include "AboutArt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <optional>
#include <QtTest>

namespace {

const QString tahomaFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

template <typename T> T *control(QWidget *about, const char *name)
{
    return about->findChild<T *>(QLatin1String(name));
}

// Runs check on the About window once showModal has it on screen, then
// presses Enter in it.
void whenOpen(const std::function<void(QWidget *)> &check)
{
    QTimer::singleShot(0, [check] {
        QWidget *about = QApplication::activeModalWidget();
        QVERIFY(about);
        QCOMPARE(about->objectName(), QStringLiteral("About"));
        check(about);
        QTest::keyClick(about, Qt::Key_Return);
    });
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

    // No test ever reaches a real browser.
    std::optional<StandIn<About::Browser>> quietBrowser;

private slots:
    void initTestCase()
    {
        if (!QFontDatabase::families().contains(QStringLiteral("Tahoma")))
            QVERIFY(QFontDatabase::addApplicationFont(tahomaFile) >= 0);
        quietBrowser.emplace(About::replaceBrowserForTesting([](const QUrl &) { return true; }));
    }

    void cleanupTestCase() { quietBrowser.reset(); }

    void infoTextHasFourLinesWithTheVersion()
    {
        const QStringList lines = About::programInfoText({0, 5, 8}).split(QStringLiteral("\r\n"));
        QCOMPARE(lines, QStringList({
            QStringLiteral("Orvane Name Editor - Released: XX/XX/2006"),
            QStringLiteral("Version: 0.58a"),
            QString(),
            QStringLiteral("Information: This program allows the user to specifically edit "
                           "character, item, monster, magic, and location names."),
        }));
        QVERIFY(!About::programInfoText({0, 5, 8}).contains(QRegularExpression("[^\r]\n|\r[^\n]")));

        QCOMPARE(About::programInfoText({1, 2, 3}).split(QStringLiteral("\r\n")).at(1),
                 QStringLiteral("Version: 1.23a"));
        QCOMPARE(About::programInfoText({2, 0, 10}).split(QStringLiteral("\r\n")).at(1),
                 QStringLiteral("Version: 2.010a"));

        About about;
        QCOMPARE(control<QLabel>(&about, "ProgramInfoLBL")->text(), About::programInfoText());
        QCOMPARE(About::programInfoText().split(QStringLiteral("\r\n")).at(1),
                 QStringLiteral("Version: ") + QString::fromStdString(versionText()) + u'a');
    }

    void everyOpeningIsANewWindowWithTheTextOnce()
    {
        QStringList texts;
        QList<QPointer<QWidget>> windows;
        for (int opening = 0; opening < 2; ++opening) {
            whenOpen([&](QWidget *about) {
                windows.append(about);
                texts.append(control<QLabel>(about, "ProgramInfoLBL")->text());
                QCOMPARE(about->windowModality(), Qt::ApplicationModal);
                // Escape is not the Close button's key.
                QTest::keyClick(about, Qt::Key_Escape);
                QVERIFY(about->isVisible());
            });
            About::showModal();
        }
        QCOMPARE(texts, QStringList({About::programInfoText(), About::programInfoText()}));
        QCOMPARE(windows.size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(windows.at(0).isNull());
        QVERIFY(windows.at(1).isNull());
    }

    void ownerTakesNoShortcutsWhileOpen()
    {
        QWidget owner;
        owner.resize(300, 200);
        int quits = 0;
        auto *quit = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), &owner);
        connect(quit, &QShortcut::activated, [&] { ++quits; });
        auto *button = new QPushButton(QStringLiteral("Quit"), &owner);
        connect(button, &QPushButton::clicked, [&] { ++quits; });
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        whenOpen([&](QWidget *) {
            QTest::keyClick(owner.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
            QTest::mouseClick(button->window()->windowHandle(), Qt::LeftButton, {},
                              button->mapTo(&owner, button->rect().center()));
            QCOMPARE(quits, 0);
        });
        About::showModal(&owner);

        // The same key and click reach the owner once the window is gone.
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        QTest::keyClick(owner.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
        QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {},
                          button->mapTo(&owner, button->rect().center()));
        QCOMPARE(quits, 2);
    }

    void linkHandsTheAddressOverAndTheWindowStays()
    {
        QList<QUrl> opened;
        const auto browser = About::replaceBrowserForTesting([&](const QUrl &url) {
            opened.append(url);
            return false;
        });
        About about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto *link = control<QLabel>(&about, "URLLBL");
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(100, 6));
        QCOMPARE(opened, QList<QUrl>({QUrl(QStringLiteral("https://orvane.example/"))}));
        QCOMPARE(link->text(), QStringLiteral("https://orvane.example/"));
        QVERIFY(about.isVisible());
        // No message about the failure.
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w == &about || !w->isVisible());

        // Other buttons and a press without release open nothing.
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(100, 6));
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(100, 6));
        QCOMPARE(opened.size(), 1);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(100, 6));

        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!link->toolTip().isEmpty());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(link->font().underline());
        QVERIFY(link->alignment() & Qt::AlignHCenter);
    }

    void controlsSitWhereTheLayoutPutsThem()
    {
        About about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));

        QCOMPARE(about.windowTitle(), QStringLiteral("About this Program..."));
        QCOMPARE(about.size(), QSize(532, 264));
        QCOMPARE(about.minimumSize(), QSize(532, 264));
        QCOMPARE(about.maximumSize(), QSize(532, 264));
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(about.windowIcon().pixmap(16, 16).size(), QSize(16, 16));

        auto *frame = control<QFrame>(&about, "Frame1");
        const struct {
            const char *name;
            QWidget *parent;
            QRect rect;
        } controls[] = {
            {"Image1", &about, {4, 4, 400, 160}},
            {"ProgramInfoLBL", &about, {238, 92, 291, 131}},
            {"URLLBL", &about, {12, 148, 200, 13}},
            {"Frame1", &about, {-108, 220, 735, 269}},
            {"WarningLBL", frame, {112, 12, 387, 29}},
            {"CloseCMD", frame, {522, 18, 113, 21}},
        };
        for (const auto &c : controls) {
            QWidget *w = control<QWidget>(&about, c.name);
            QVERIFY2(w, c.name);
            QCOMPARE(w->parentWidget(), c.parent);
            QCOMPARE(w->geometry(), c.rect);
            QCOMPARE(w->font().family(), QStringLiteral("Tahoma"));
            QCOMPARE(w->font().pointSizeF(), 8.25);
            QCOMPARE(w->font().weight(), QFont::Normal);
        }
        QCOMPARE(control<QWidget>(&about, "WarningLBL")->mapTo(&about, QPoint()), QPoint(4, 232));
        QCOMPARE(control<QWidget>(&about, "CloseCMD")->mapTo(&about, QPoint()), QPoint(414, 238));

        // Children are kept back to front.
        QStringList stack;
        for (QObject *child : about.children())
            if (child->isWidgetType())
                stack.append(child->objectName());
        QCOMPARE(stack, QStringList({"Image1", "ProgramInfoLBL", "URLLBL", "Frame1"}));

        // The texts fit their labels, so nothing is cut off.
        for (const char *name : {"ProgramInfoLBL", "WarningLBL"}) {
            auto *label = control<QLabel>(&about, name);
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), name);
        }
        auto *warning = control<QLabel>(&about, "WarningLBL");
        QVERIFY(warning->text().startsWith(QStringLiteral("PLEASE READ")));

        auto *close = control<QPushButton>(&about, "CloseCMD");
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QVERIFY(close->isDefault());
        auto *link = control<QLabel>(&about, "URLLBL");
        for (QWidget *w : about.findChildren<QWidget *>())
            QCOMPARE(w->focusPolicy() != Qt::NoFocus, w == close || w == link);
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(QApplication::focusWidget(), close);
    }

    void linkWorksFromTheKeyboard()
    {
        QList<QUrl> opened;
        const auto browser = About::replaceBrowserForTesting([&](const QUrl &url) {
            opened.append(url);
            return true;
        });
        About about;
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        auto *close = control<QPushButton>(&about, "CloseCMD");
        auto *link = control<QLabel>(&about, "URLLBL");

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), link);
        // Enter on the link opens the page and leaves the default button alone.
        QTest::keyClick(link, Qt::Key_Return);
        QTest::keyClick(link, Qt::Key_Space);
        QCOMPARE(opened.size(), 2);
        QVERIFY(about.isVisible());

        QTest::keyClick(link, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), close);
        QTest::keyClick(close, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), link);

        // A click opens the page without taking the focus.
        QTest::keyClick(link, Qt::Key_Tab);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(100, 6));
        QCOMPARE(QApplication::focusWidget(), close);
        QCOMPARE(opened.size(), 3);
    }

    void bannerIsEightColoursWithTheInfoCornerClear()
    {
        const QImage banner = AboutArt::bannerImage();
        QCOMPARE(banner.size(), QSize(400, 160));
        QCOMPARE(banner.format(), QImage::Format_Indexed8);
        QCOMPARE(banner.colorCount(), 8);
        QVERIFY(banner.colorTable().contains(qRgb(255, 0, 255)));

        // Where the information text lies over the banner, and under the
        // link, the window's own background shows.
        const QRect infoOverBanner = QRect(238, 92, 291, 131).translated(-4, -4) & banner.rect();
        const QRect linkOverBanner = QRect(12, 148, 200, 13).translated(-4, -4);
        for (const QRect &r : {infoOverBanner, linkOverBanner})
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    QCOMPARE(banner.pixel(x, y), qRgb(255, 0, 255));

        About about;
        const QImage shown = control<QLabel>(&about, "Image1")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(400, 160));
        QCOMPARE(qAlpha(shown.pixel(399, 159)), 0);
        QCOMPARE(qAlpha(shown.pixel(200, 40)), 255);
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
