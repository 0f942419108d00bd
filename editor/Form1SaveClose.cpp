// Saving a name, closing the image and quitting.
#include "Form1.h"

#include "CoreText.h"
#include "NameStore.h"
#include "NameEdit.h"
#include "RomError.h"
#include "RomFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

void Form1::SaveCMD_Click()
{
    if (m_loading || !m_rom->isOpen())
        return;
    static void (Form1::*const savers[])() = {&Form1::SaveCharacter, &Form1::SaveMonster,
                                              &Form1::SaveMagic, &Form1::SaveItem};
    for (std::size_t c = 0; c < 4; ++c) {
        if (m_options[c]->isChecked()) {
            (this->*savers[c])();
            return;
        }
    }
}

void Form1::SaveCharacter() { saveName(Category::Characters); }
void Form1::SaveMonster() { saveName(Category::Monsters); }
void Form1::SaveMagic() { saveName(Category::Magic); }
void Form1::SaveItem() { saveName(Category::Items); }

void Form1::saveName(Category category)
{
    const int row = selectedRow(list(category));
    if (row < 0)
        return;
    const NameTables::NameTable &table = NameTables::table(category);
    const QString file = QDir::toNativeSeparators(m_romPath);
    // The row shows the name as the file holds it, as a new load would; the
    // Name box keeps what was typed. Close and Quit ask nothing because every
    // Save is already on disk, so a sync that fails is said.
    try {
        const std::string stored = storeName(*m_rom, table, row, CoreText::toCore(NameTXT->text()));
        list(category)->item(row)->setText(CoreText::fromCore(stored));
    } catch (const RomError &e) {
        if (e.mayHaveChanged())
            showStoredName(category, row);
        showProblem(QStringLiteral("Cannot save the name in \u201C%1\u201D: %2").arg(file, CoreText::fromCore(e.message())));
        return;
    }
    try {
        m_rom->sync();
    } catch (const RomError &e) {
        showProblem(QStringLiteral("The name went into \u201C%1\u201D but may not be on the disk yet: %2")
                        .arg(file, CoreText::fromCore(e.message())));
    }
}

void Form1::showStoredName(Category category, int row)
{
    try {
        list(category)->item(row)->setText(CoreText::fromCore(readName(*m_rom, NameTables::table(category), row)));
    } catch (const RomError &) {
        // The message about the save says enough.
    }
}

void Form1::mnuCloseROM_Click()
{
    if (m_loading)
        return;
    CloseROM();
}

void Form1::CloseROM()
{
    m_rom->close();
    for (QListWidget *names : m_lists)
        names->clear();
    setWindowTitle(caption(Caption::NoImage));
    for (QListWidget *names : m_lists)
        names->hide();
    NameTXT->setEnabled(false);
    NameTXT->setText(QString());
    for (QRadioButton *button : m_options)
        button->setEnabled(false);
    ByteCBO->setEnabled(false);
    ByteCBO->hide();
    SaveCMD->setEnabled(false);
    ByteCBO->setCurrentIndex(0);
    scheduleTick();
}

void Form1::mnuQuit_Click() { quitNow(); }
void Form1::QuitCMD_Click() { quitNow(); }

void Form1::quitNow()
{
    // Nothing is pending: every Save is in the file. Typed text is dropped.
    m_quitting = true;
    tmr->stop();
    m_rom->close();
    hide();
    QApplication::quit();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_quitting)
        quitNow();
}
