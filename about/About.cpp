#include "About.h"

#include "AboutArt.h"
#include "ClassicLook.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>

About::Browser &About::browser()
{
    static Browser open = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return open;
}

StandIn<About::Browser> About::replaceBrowserForTesting(Browser standIn)
{
    return {browser(), std::move(standIn)};
}

namespace {

QLabel *plainLabel(QWidget *parent, const char *name, const QRect &rect)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(rect);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The link label takes the keyboard focus too, so it must show when it has it.
class LinkLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!hasFocus())
            return;
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = contentsRect();
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
};

} // namespace

About::About(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About this Program..."));
    setWindowIcon(AboutArt::windowIcon());
    setFont(tahoma());
    setFixedSize(532, 264);

    // Created in tab order, so the focus chain follows it.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(-1620, 3300, 11025, 4035));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);

    WarningLBL = plainLabel(Frame1, "WarningLBL", twips(1680, 180, 5805, 435));
    WarningLBL->setWordWrap(true);
    WarningLBL->setText(QStringLiteral(
        "PLEASE READ: Neither the maker nor the author works for or is affiliated with the "
        "game's publisher. All names and references from the series are its property."));

    CloseCMD = new QPushButton(QStringLiteral("&Close"), Frame1);
    CloseCMD->setObjectName(QStringLiteral("CloseCMD"));
    CloseCMD->setGeometry(twips(7830, 270, 1695, 315));
    CloseCMD->setDefault(true);
    connect(CloseCMD, &QPushButton::clicked, this, &About::CloseCMD_Click);

    ProgramInfoLBL = plainLabel(this, "ProgramInfoLBL", twips(3570, 1380, 4365, 1965));
    ProgramInfoLBL->setWordWrap(true);

    URLLBL = new LinkLabel(this);
    URLLBL->setObjectName(QStringLiteral("URLLBL"));
    URLLBL->setGeometry(twips(180, 2220, 3000, 195));
    URLLBL->setTextFormat(Qt::PlainText);
    URLLBL->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    URLLBL->setText(QString::fromLatin1(HomePage));
    QFont linkFont = tahoma();
    linkFont.setUnderline(true);
    URLLBL->setFont(linkFont);
    QPalette linkPalette = URLLBL->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    URLLBL->setPalette(linkPalette);
    URLLBL->setCursor(Qt::PointingHandCursor);
    URLLBL->setToolTip(QStringLiteral("Click here to visit the maker's home page."));
    // Reachable with Tab after the Close button, for those who cannot use a
    // mouse; a click does not take the focus away from Close.
    URLLBL->setFocusPolicy(Qt::TabFocus);
    URLLBL->installEventFilter(this);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips(60, 60, 6000, 2400));
    Image1->setPixmap(AboutArt::bannerPixmap());
    Image1->setAccessibleName(QStringLiteral("Orvane Name Editor banner"));

    // Back to front: the banner behind the information text and the link,
    // the frame's top line in front of them all.
    for (QWidget *w : {static_cast<QWidget *>(Image1), static_cast<QWidget *>(ProgramInfoLBL),
                       static_cast<QWidget *>(URLLBL), static_cast<QWidget *>(Frame1)})
        w->raise();

    Form_Load();
    CloseCMD->setFocus();
}

void About::showModal(QWidget *parent)
{
    auto *about = new About(parent);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowModality(Qt::ApplicationModal);
    about->exec();
}

QString About::programInfoText(const ProgramVersion &version)
{
    return QStringLiteral("Orvane Name Editor - Released: XX/XX/2006") + QStringLiteral("\r\n")
         + QStringLiteral("Version: ") + QString::fromStdString(versionText(version)) + u'a' + QStringLiteral("\r\n")
         + QStringLiteral("\r\n")
         + QStringLiteral("Information: This program allows the user to specifically edit "
                          "character, item, monster, magic, and location names.");
}

void About::Form_Load()
{
    ProgramInfoLBL->setText(programInfoText());
}

void About::CloseCMD_Click()
{
    close();
}

void About::URLLBL_Click()
{
    browser()(QUrl(QString::fromLatin1(HomePage)));
}

bool About::eventFilter(QObject *watched, QEvent *event)
{
    // A click is a left-button release over the link, as with a button.
    if (watched == URLLBL && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && URLLBL->rect().contains(mouse->position().toPoint()))
            URLLBL_Click();
    }
    // From the keyboard the link answers Enter and the space bar like a
    // button; the key must not also reach the default Close button.
    if (watched == URLLBL && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool press = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
                        || key->key() == Qt::Key_Space;
        if (press && !key->isAutoRepeat()) {
            URLLBL_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void About::keyPressEvent(QKeyEvent *event)
{
    // Close is the default button only, so Escape does not close the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
