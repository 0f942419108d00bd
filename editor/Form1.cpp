// The main window's layout and start-up state.
#include "Form1.h"

#include "ClassicLook.h"
#include "CoreText.h"
#include "EntryList.h"
#include "NameEdit.h"
#include "OpenFileDialog.h"
#include "ProgramVersion.h"
#include "RomFile.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

namespace {

template <typename W>
W *place(W *widget, const char *name, const QRect &rect)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    return widget;
}

} // namespace

Form1::Form1(QWidget *parent) : QMainWindow(parent), m_rom(std::make_unique<RomFile>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(tahoma());
    setWindowIcon(editorIcon());
    buildMenu();
    buildControls();
    setTabOrderFromIndexes();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();
}

Form1::~Form1() = default;

void Form1::buildMenu()
{
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    auto addItem = [this](QMenu *menu, const char *name, const QString &caption,
                          const QKeySequence &shortcut, void (Form1::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->menuAction()->setObjectName(QStringLiteral("mnuFileAction"));
    addItem(file, "mnuOpenROM", QStringLiteral("&Open ROM"), QKeySequence(Qt::CTRL | Qt::Key_O),
            &Form1::mnuOpenROM_Click);
    addItem(file, "mnuCloseROM", QStringLiteral("&Close ROM"), QKeySequence(Qt::CTRL | Qt::Key_W),
            &Form1::mnuCloseROM_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mnusep01"));
    addItem(file, "mnuQuit", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
            &Form1::mnuQuit_Click);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->menuAction()->setObjectName(QStringLiteral("mnuHelpAction"));
    addItem(help, "mnuAbout", QStringLiteral("&About"), QKeySequence(Qt::Key_F1),
            &Form1::mnuAbout_Click);
}

void Form1::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(402, 309);
    setCentralWidget(client);

    // Created rear to front: the tab strip is only a backdrop behind the rest.
    tstrip1 = place(new QTabWidget(client), "tstrip1", twips(150, 120, 5745, 3975));
    tstrip1->addTab(new QWidget, QStringLiteral("Name Editor"));

    static const char *const optionNames[] = {"CharOPT", "MonsterOPT", "MagicOPT", "ItemOPT"};
    static const char *const optionCaptions[] = {"Characters", "Monsters", "Magic", "Items"};
    static const char *const listNames[] = {"CharLST", "MonsterLST", "MagicLST", "ItemLST"};
    static const char *const listAccessibleNames[] = {"Character names", "Monster names",
                                                      "Magic names", "Item names"};
    static void (Form1::*const optionHandlers[])() = {&Form1::CharOPT_Click, &Form1::MonsterOPT_Click,
                                                      &Form1::MagicOPT_Click, &Form1::ItemOPT_Click};
    static void (Form1::*const listHandlers[])() = {&Form1::CharLST_Click, &Form1::MonsterLST_Click,
                                                    &Form1::MagicLST_Click, &Form1::ItemLST_Click};
    for (std::size_t c = 0; c < 4; ++c) {
        auto *button = place(new QRadioButton(QString::fromLatin1(optionCaptions[c]), client),
                             optionNames[c], twips(4680, 480 + 240 * int(c), 1155, 255));
        button->setEnabled(false);
        connect(button, &QRadioButton::toggled, this, [this, c](bool on) {
            if (on)
                (this->*optionHandlers[c])();
        });
        m_options[c] = button;
    }
    // Later lists lie in front: items, magic, monsters, characters.
    for (std::size_t c = 0; c < 4; ++c) {
        auto *names = place(new EntryList(client), listNames[c], twips(300, 570, 1395, 3375));
        names->setAccessibleName(QString::fromLatin1(listAccessibleNames[c]));
        names->setSelectionMode(QAbstractItemView::SingleSelection);
        // Uniform rows spare a full re-layout on every appended name.
        names->setUniformItemSizes(true);
        names->hide();
        names->setEnabled(false);
        // The row handler answers the selected row, not Qt's current row: a
        // list that takes the focus by Tab gets a current row with nothing
        // selected, and no entry may show or be saved for that.
        connect(names, &QListWidget::itemSelectionChanged, this, listHandlers[c]);
        m_lists[c] = names;
    }

    ByteCBO = place(new QComboBox(client), "ByteCBO", twips(1740, 810, 1215, 315));
    ByteCBO->setAccessibleName(QStringLiteral("Leading byte"));
    ByteCBO->setEditable(false);
    ByteCBO->hide();

    NameTXT = place(new NameEdit(client), "NameTXT", twips(3000, 810, 1545, 315));
    NameTXT->setAccessibleName(QStringLiteral("Name"));
    NameTXT->setEnabled(false);

    Frame1 = place(new QGroupBox(client), "Frame1", twips(1830, 1440, 3915, 2205));
    IntentionalLBL = place(new QLabel(QStringLiteral("This space is intentionally left blank."), Frame1),
                           "IntentionalLBL", twips(90, 990, 3705, 645));
    IntentionalLBL->setFont(tahoma(14.25));
    IntentionalLBL->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    IntentionalLBL->setWordWrap(true);

    pbar = place(new QProgressBar(client), "pbar", twips(1830, 3690, 3915, 255));
    pbar->setAccessibleName(QStringLiteral("Loading progress"));
    pbar->setRange(0, 100);
    pbar->setValue(0);
    pbar->setTextVisible(false);
    pbar->hide();

    SaveCMD = place(new QPushButton(QStringLiteral("&Save"), client), "SaveCMD", twips(3240, 4230, 1335, 285));
    SaveCMD->setEnabled(false);
    QuitCMD = place(new QPushButton(QStringLiteral("&Quit"), client), "QuitCMD", twips(4560, 4230, 1335, 285));
    // A focused button answers Enter as well as the space bar.
    SaveCMD->setAutoDefault(true);
    QuitCMD->setAutoDefault(true);
    connect(SaveCMD, &QPushButton::clicked, this, &Form1::SaveCMD_Click);
    connect(QuitCMD, &QPushButton::clicked, this, &Form1::QuitCMD_Click);

    // tmr keeps the lists and the name box in step with the chosen category.
    // Running free every millisecond it would wake the program near a thousand
    // times a second while the user only reads a list, so it ticks once, one
    // interval after each change that sets what a tick sets (scheduleTick).
    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    tmr->setInterval(1);
    tmr->setSingleShot(true);
    connect(tmr, &QTimer::timeout, this, &Form1::tmr_Timer);

    dlg = new OpenFileDialog(this);
}

void Form1::setTabOrderFromIndexes()
{
    // Keyboard order as designed: list, byte, name, the options, the buttons.
    const std::array<QWidget *, 13> order = {
        list(Category::Characters), ByteCBO, NameTXT, option(Category::Characters),
        option(Category::Monsters), option(Category::Magic), option(Category::Items),
        SaveCMD, QuitCMD, tstrip1, list(Category::Monsters), list(Category::Magic),
        list(Category::Items)};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    // Everything before the Quit button starts hidden or disabled.
    QuitCMD->setFocus();
}

void Form1::Form_Load()
{
    setWindowTitle(caption(Caption::NoImage));
    for (int b = 0; b < 256; ++b)
        ByteCBO->addItem(QStringLiteral("Byte: ") + QString::number(b, 16).toUpper());
    ByteCBO->setCurrentIndex(-1);
}

QString Form1::caption(Caption kind, Category loading) const
{
    static const char *const loadingWhat[] = {"Characters", "Monsters", "Magic", "Items"};
    const QString withVersion = QStringLiteral("Orvane Name Editor (v%1)").arg(CoreText::fromCore(versionText()));
    switch (kind) {
    case Caption::NoImage:
        return QStringLiteral("Orvane Name Editor - No ROM loaded.");
    case Caption::Version:
        return withVersion;
    case Caption::Title: {
        // Qt takes "[*]" as the place of its modified marker and shows a
        // doubled one as written, so the title shows exactly as read.
        const QString marker = QStringLiteral("[*]");
        return withVersion + QStringLiteral(" - ") + QString(m_title).replace(marker, marker + marker);
    }
    case Caption::Loading:
        return withVersion + QStringLiteral(" - Loading %1...")
                                 .arg(QLatin1String(loadingWhat[std::size_t(loading)]));
    }
    return {};
}

void Form1::showProblem(const QString &text)
{
    // Window-modal and not waited for, so the handler that found the problem
    // ends at once and the window stays usable after the box is closed.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvane Name Editor"), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ProblemBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
