#pragma once

// Shared by the main-window tests: a demo image in a scratch folder, the real
// window, its controls by name, and a stand-in for the file dialog.
#include "DemoImage.h"
#include "Form1.h"
#include "ClassicLook.h"
#include "NameEdit.h"
#include "OpenFileDialog.h"
#include "ProgramVersion.h"
#include "StandIns.h"
#include "TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

// The caption's version part, as the build numbers it.
inline QString versionCaption()
{
    return QStringLiteral("Orvane Name Editor (v%1)").arg(QString::fromStdString(versionText()));
}

struct EditorHarness {
    QTemporaryDir dir;
    QString imagePath = dir.filePath("demo.smc");
    DemoImage::Contents image = DemoImage::build();
    std::unique_ptr<Form1> form;

    EditorHarness()
    {
        ensureTahoma();
        writeAll(imagePath, image.bytes);
        form = std::make_unique<Form1>();
        form->show();
    }

    // The user's choice in the file dialog, for as long as the harness lives.
    std::optional<StandIn<OpenFileDialog::Chooser>> chooser;
    void chooseWith(OpenFileDialog::Chooser choose)
    {
        chooser.reset();
        chooser.emplace(OpenFileDialog::replaceChooserForTesting(std::move(choose)));
    }

    template <typename T>
    T *get(const char *name) const
    {
        return form->findChild<T *>(QString::fromLatin1(name));
    }
    QListWidget *list(int c) const
    {
        static const char *const names[] = {"CharLST", "MonsterLST", "MagicLST", "ItemLST"};
        return get<QListWidget>(names[c]);
    }
    QRadioButton *option(int c) const
    {
        static const char *const names[] = {"CharOPT", "MonsterOPT", "MagicOPT", "ItemOPT"};
        return get<QRadioButton>(names[c]);
    }
    NameEdit *nameText() const { return get<NameEdit>("NameTXT"); }
    QComboBox *byteBox() const { return get<QComboBox>("ByteCBO"); }
    QPushButton *saveButton() const { return get<QPushButton>("SaveCMD"); }

    // Opens a path as if the user had picked it in the dialog ("" cancels).
    void open(const QString &path)
    {
        chooseWith([path](const OpenFileDialog &) { return path; });
        form->mnuOpenROM_Click();
    }
    void openDemo() { open(imagePath); }

    QList<QMessageBox *> problems() const { return form->findChildren<QMessageBox *>("ProblemBox"); }
    void dismissProblems()
    {
        for (QMessageBox *box : problems())
            delete box;
    }
    QByteArray fileBytes() const { return readAll(imagePath); }
};
