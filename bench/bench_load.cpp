// A full Open ROM of a full-size image through the real window, the file
// dialog left out, beside the floor: decoding the 758 names with no window.
//
//   bench_load [--loads N] [--reads N] [--dir DIR]
//
// Run it under the platform to be measured (QT_QPA_PLATFORM=xcb on a private
// Xvfb, or offscreen); bench/run does both.
#include "BenchCommon.h"

#include "NameStore.h"
#include "ClassicLook.h"
#include "NameTables.h"
#include "RomFile.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QTest>

namespace {

// The decoding alone: what no amount of window work can go below.
void floorOfReads(const QString &path, int repetitions)
{
    RomFile rom;
    if (!rom.open(path))
        Bench::die(QStringLiteral("cannot open %1: %2").arg(path, rom.errorString()));
    std::vector<double> ms;
    qsizetype characters = 0;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer t;
        t.start();
        for (const NameTables::NameTable &table : NameTables::All)
            for (int i = 0; i < table.entries; ++i)
                characters += readName(rom, table, i).size();
        ms.push_back(Bench::elapsedMs(t));
    }
    if (characters == 0)
        Bench::die(QStringLiteral("the names decoded to nothing"));
    Bench::report(QStringLiteral("floor"),
                  Bench::describe(Bench::spread(ms), repetitions, "runs of 758 ReadName calls"));
}

void fullLoads(const QString &path, int loads)
{
    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        Bench::die(QStringLiteral("the window was never shown"));
    const auto chooser = OpenFileDialog::replaceChooserForTesting([path](const OpenFileDialog &) { return path; });

    static const char *const listNames[] = {"CharLST", "MonsterLST", "MagicLST", "ItemLST"};
    std::vector<double> ms;
    for (int n = 0; n < loads; ++n) {
        Bench::settle();
        QElapsedTimer t;
        t.start();
        form.mnuOpenROM_Click();
        ms.push_back(Bench::elapsedMs(t));
        // A load cut short would look fast; make sure every row arrived.
        for (std::size_t c = 0; c < 4; ++c) {
            const int rows = Bench::child<QListWidget>(form, listNames[c])->count();
            if (rows != NameTables::All[c].entries)
                Bench::die(QStringLiteral("%1 holds %2 rows after a load")
                               .arg(QString::fromLatin1(listNames[c]))
                               .arg(rows));
        }
    }
    Bench::report(QStringLiteral("load-") + QGuiApplication::platformName(),
                  Bench::describe(Bench::spread(ms), loads, "loads"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ensureTahoma();
    const int loads = Bench::count("--loads", 10);
    const int reads = Bench::count("--reads", 200);
    const Bench::ScratchImage image;
    floorOfReads(image.path, reads);
    fullLoads(image.path, loads);
    return 0;
}
