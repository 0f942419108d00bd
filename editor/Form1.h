#pragma once

#include "NameTables.h"

#include <QMainWindow>

#include <array>
#include <memory>

class NameEdit;
class OpenFileDialog;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class RomFile;

// The editor's main window: it owns the open image and all editing state.
// Row i of a category's list is entry i of that name table.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    const RomFile &rom() const { return *m_rom; }
    bool isLoading() const { return m_loading; }

    // The commands the program and its tests give from outside; each does
    // what choosing it in the window does.
public slots:
    void mnuOpenROM_Click();
    void mnuCloseROM_Click();
    void mnuAbout_Click();
    void SaveCMD_Click();
    void tmr_Timer();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void mnuQuit_Click();
    void QuitCMD_Click();
    void CharOPT_Click();
    void MonsterOPT_Click();
    void MagicOPT_Click();
    void ItemOPT_Click();
    void CharLST_Click();
    void MonsterLST_Click();
    void MagicLST_Click();
    void ItemLST_Click();

private:
    using Category = NameTables::Category;

    void Form_Load();
    void LoadROM();
    void LoadIName();
    void LoadCharacterNames();
    void LoadMonsterNames();
    void LoadMagicNames();
    void LoadItemNames();
    void LoadCharacters();
    void LoadMonsters();
    void LoadMagic();
    void LoadItems();
    void SaveCharacter();
    void SaveMonster();
    void SaveMagic();
    void SaveItem();
    void CloseROM();

    void buildMenu();
    void buildControls();
    void setTabOrderFromIndexes();

    // One routine per family; the named procedures above call these.
    void loadNames(Category category);
    void chooseCategory(Category category);
    void showEntry(Category category);
    void saveName(Category category);
    // The entry's row as the file holds it now, after a failed save.
    void showStoredName(Category category, int row);
    // One tick of tmr, an interval from now, once a category has been chosen.
    // Called wherever the window sets an enabled or visible state a tick sets.
    void scheduleTick();

    QListWidget *list(Category category) const { return m_lists[std::size_t(category)]; }
    QRadioButton *option(Category category) const { return m_options[std::size_t(category)]; }
    const QRadioButton *chosenOption() const;
    // The list's selected row, or -1; Qt's current row may be set without one.
    static int selectedRow(const QListWidget *names);
    // Every caption the window shows, made in one place.
    enum class Caption { NoImage, Version, Title, Loading };
    QString caption(Caption kind, Category loading = Category::Characters) const;
    void showProblem(const QString &text);
    void quitNow();

    std::unique_ptr<RomFile> m_rom;
    QString m_romPath;  // as the file dialog gave it, for messages
    QString m_title;
    bool m_loading = false;
    bool m_quitting = false;

    QTabWidget *tstrip1 = nullptr;
    std::array<QRadioButton *, 4> m_options{};
    std::array<QListWidget *, 4> m_lists{};
    QComboBox *ByteCBO = nullptr;
    NameEdit *NameTXT = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *IntentionalLBL = nullptr;
    QProgressBar *pbar = nullptr;
    QPushButton *SaveCMD = nullptr;
    QPushButton *QuitCMD = nullptr;
    QTimer *tmr = nullptr;
    OpenFileDialog *dlg = nullptr;
};
