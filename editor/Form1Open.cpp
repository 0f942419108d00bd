// Open ROM: the file dialog, the internal title and the four name lists.
#include "Form1.h"

#include "CopierHeader.h"
#include "CoreText.h"
#include "FileKind.h"
#include "ImageHeader.h"
#include "NameStore.h"
#include "NameEdit.h"
#include "OpenFileDialog.h"
#include "RomError.h"
#include "RomFile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Set when a Quit arrives during a load's yield, so the load stops there.
struct LoadAborted {};

} // namespace

void Form1::mnuOpenROM_Click()
{
    if (m_loading)
        return;
    LoadROM();
}

void Form1::LoadROM()
{
    dlg->filter = QStringLiteral(
        "All Files (*.*)|*.*|Super MagiCom ROM File (*.smc)|*.smc|Super Wild Card ROM File (*.swc)|*.swc");
    dlg->filterIndex = 2;
    const QString path = dlg->show(this);

    // A cancel or a file that will not open leaves an open image as it was.
    if (path.isEmpty()) {
        if (!m_rom->isOpen())
            setWindowTitle(caption(Caption::Version));
        return;
    }
    auto fresh = std::make_unique<RomFile>();
    std::string why;
    if (!fresh->open(CoreText::nativePath(path))) {
        why = fresh->errorString() + '.';
    } else {
        try {
            why = FileKind::refusal(fresh->read(0, FileKind::StartLength), fresh->size()).value_or("");
        } catch (const RomError &e) {
            why = e.message();
        }
    }
    if (!why.empty()) {
        if (!m_rom->isOpen())
            setWindowTitle(caption(Caption::Version));
        showProblem(QStringLiteral("Cannot open \u201C%1\u201D: %2")
                        .arg(QDir::toNativeSeparators(path), CoreText::fromCore(why)));
        return;
    }
    m_rom = std::move(fresh);
    m_romPath = path;
    setWindowTitle(caption(Caption::Version));

    // Each list must hold exactly its table's entries, so a row never
    // addresses bytes outside its table.
    for (QListWidget *names : m_lists)
        names->clear();
    // Commands that arrive during the load's yields must not interleave with it.
    m_loading = true;
    for (QRadioButton *button : m_options)
        button->setEnabled(false);
    try {
        // Headered or not, as the image itself shows; the window does not say.
        CopierHeader::lay(*m_rom, CopierHeader::decide(*m_rom));
        LoadIName();
        LoadCharacterNames();
        LoadMonsterNames();
        LoadMagicNames();
        LoadItemNames();
    } catch (const LoadAborted &) {
        m_loading = false;
        return;
    } catch (const RomError &e) {
        m_loading = false;
        pbar->hide();
        CloseROM();
        showProblem(QStringLiteral("Cannot load \u201C%1\u201D: %2")
                        .arg(QDir::toNativeSeparators(path), CoreText::fromCore(e.message())));
        return;
    }
    m_loading = false;
    ByteCBO->setCurrentIndex(0);
    NameTXT->setEnabled(true);
    for (QRadioButton *button : m_options)
        button->setEnabled(true);
    ByteCBO->hide();
    SaveCMD->setEnabled(true);
    scheduleTick();
}

void Form1::LoadIName()
{
    m_title = CoreText::fromCore(ImageHeader::title(*m_rom));
    setWindowTitle(caption(Caption::Title));
}

void Form1::LoadCharacterNames() { loadNames(Category::Characters); }
void Form1::LoadMonsterNames() { loadNames(Category::Monsters); }
void Form1::LoadMagicNames() { loadNames(Category::Magic); }
void Form1::LoadItemNames() { loadNames(Category::Items); }

void Form1::loadNames(Category category)
{
    const NameTables::NameTable &table = NameTables::table(category);
    QListWidget *names = list(category);
    pbar->setMaximum(table.entries - 1);
    setWindowTitle(caption(Caption::Loading, category));
    if (category == Category::Characters)
        pbar->show();
    for (int i = 0; i < table.entries; ++i) {
        names->addItem(CoreText::fromCore(readName(*m_rom, table, i)));
        pbar->setValue(i);
        // Let the window repaint and the bar move before the next row.
        QApplication::processEvents();
        if (m_quitting)
            throw LoadAborted{};
    }
    if (category == Category::Items) {
        pbar->hide();
        setWindowTitle(caption(Caption::Title));
        for (QRadioButton *button : m_options)
            button->setEnabled(true);
    }
}
