// Save in the real window: from the press of the button to the return of the
// sync that makes the name durable.
//
//   bench_save [--saves N] [--dir DIR]
//
// The image lives in a scratch folder under DIR, so DIR picks the file system
// whose sync is measured.
#include "BenchCommon.h"

#include "ClassicLook.h"
#include "NameEdit.h"
#include "NameTables.h"

#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ensureTahoma();
    const int saves = Bench::count("--saves", 20);
    const Bench::ScratchImage image;

    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        Bench::die(QStringLiteral("the window was never shown"));
    {
        const auto chooser = OpenFileDialog::replaceChooserForTesting([&image](const OpenFileDialog &) { return image.path; });
        form.mnuOpenROM_Click();
    }

    // Items, a row past the first, as a user would pick them.
    constexpr int row = 9;
    Bench::child<QRadioButton>(form, "ItemOPT")->click();
    Bench::child<QListWidget>(form, "ItemLST")->setCurrentRow(row);
    auto *name = Bench::child<NameEdit>(form, "NameTXT");
    auto *save = Bench::child<QPushButton>(form, "SaveCMD");

    // Two names in turn, so every save changes the bytes on disk.
    const QString names[] = {QStringLiteral("Lamp"), QStringLiteral("Rope")};
    const QByteArray codes[] = {QByteArray("\x8B\x9A\xA6\xA9\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12),
                                QByteArray("\x91\xA8\xA9\x9E\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12)};
    std::vector<double> ms;
    for (int n = 0; n < saves; ++n) {
        name->setText(names[n % 2]);
        Bench::settle(20);
        QElapsedTimer t;
        t.start();
        save->click();
        ms.push_back(Bench::elapsedMs(t));
    }

    // A refused save would look fast; make sure the last name is in the file.
    if (!form.findChildren<QMessageBox *>(QStringLiteral("ProblemBox")).isEmpty())
        Bench::die(QStringLiteral("a save was refused"));
    QFile file(image.path);
    if (!file.open(QIODevice::ReadOnly)
        || !file.seek(NameTables::nameOffset(NameTables::table(NameTables::Category::Items), row))
        || file.read(12) != codes[(saves - 1) % 2])
        Bench::die(QStringLiteral("the saved name is not in the file"));

    Bench::report(QStringLiteral("save"), Bench::describe(Bench::spread(ms), saves, "saves"));
    return 0;
}
