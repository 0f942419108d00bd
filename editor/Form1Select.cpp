// Choosing a category and an entry, and the timer that keeps the list area
// in step with the chosen category.
#include "Form1.h"

#include "NameEdit.h"
#include "CoreText.h"
#include "RomError.h"
#include "RomFile.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

void Form1::CharOPT_Click() { chooseCategory(Category::Characters); }
void Form1::MonsterOPT_Click() { chooseCategory(Category::Monsters); }
void Form1::MagicOPT_Click() { chooseCategory(Category::Magic); }
void Form1::ItemOPT_Click() { chooseCategory(Category::Items); }

void Form1::CharLST_Click() { LoadCharacters(); }
void Form1::MonsterLST_Click() { LoadMonsters(); }
void Form1::MagicLST_Click() { LoadMagic(); }
void Form1::ItemLST_Click() { LoadItems(); }

void Form1::LoadCharacters() { showEntry(Category::Characters); }
void Form1::LoadMonsters() { showEntry(Category::Monsters); }
void Form1::LoadMagic() { showEntry(Category::Magic); }
void Form1::LoadItems() { showEntry(Category::Items); }

void Form1::chooseCategory(Category category)
{
    if (m_loading)
        return;
    QListWidget *names = list(category);
    NameTXT->setNameLimit(NameTables::table(category).nameLength);
    NameTXT->setText(QString());
    ByteCBO->setCurrentIndex(0);
    // Qt signals only a change of selection; entry 0 must show even when row
    // 0 was already the selected row.
    if (selectedRow(names) == 0)
        showEntry(category);
    else
        names->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    names->setVisible(true);
    scheduleTick();
}

void Form1::showEntry(Category category)
{
    QListWidget *names = list(category);
    const int row = selectedRow(names);
    // Rows with no image behind them (after a close or a failed open) show nothing.
    if (row < 0 || !m_rom->isOpen())
        return;
    const NameTables::NameTable &table = NameTables::table(category);
    try {
        ByteCBO->setCurrentIndex(m_rom->readByte(NameTables::entryOffset(table, row)));
    } catch (const RomError &e) {
        showProblem(QStringLiteral("Cannot show the entry from \u201C%1\u201D: %2")
                        .arg(QDir::toNativeSeparators(m_romPath), CoreText::fromCore(e.message())));
        return;
    }
    if (table.hasLeadingByte) {
        ByteCBO->setVisible(true);
        ByteCBO->setEnabled(true);
    } else {
        ByteCBO->setVisible(false);
        ByteCBO->setEnabled(false);
    }
    NameTXT->setText(names->item(row)->text());
}

void Form1::scheduleTick()
{
    // Before the first choice nothing is kept in step, and the window just waits.
    // A tick already due is not put off.
    if (chosenOption() && !tmr->isActive())
        tmr->start();
}

void Form1::tmr_Timer()
{
    NameTXT->setEnabled(true);
    for (QListWidget *names : m_lists)
        names->setEnabled(true);
    // Setting a state a widget already has costs nothing, so each tick is cheap.
    const QRadioButton *chosen = chosenOption();
    for (std::size_t c = 0; c < 4; ++c)
        if (chosen)
            m_lists[c]->setVisible(m_options[c] == chosen);
}

int Form1::selectedRow(const QListWidget *names)
{
    const QList<QListWidgetItem *> selected = names->selectedItems();
    return selected.isEmpty() ? -1 : names->row(selected.first());
}

const QRadioButton *Form1::chosenOption() const
{
    for (const QRadioButton *button : m_options)
        if (button->isChecked())
            return button;
    return nullptr;
}
