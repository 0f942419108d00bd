// A full Open ROM of a full-size image through the real window, the file
// dialog left out, beside two references: the floor, decoding the 758 names
// with no window; and the bare reference, the same 758 rows appended with the
// same per-row yield and progress bar to lists laid out like the real
// window's, from fixed texts, with no file and no codec.
//
//   bench_load [--loads N] [--reads N] [--bare N] [--dir DIR]
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
#include <QProgressBar>
#include <QTest>

#include <array>

namespace {

// The decoding alone: what no amount of window work can go below.
void floorOfReads(const QString &path, int repetitions)
{
    RomFile rom;
    if (!rom.open(QFile::encodeName(path).toStdString()))
        Bench::die(QStringLiteral("cannot open %1: %2").arg(path, QString::fromStdString(rom.errorString())));
    std::vector<double> ms;
    qsizetype characters = 0;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer t;
        t.start();
        for (const NameTables::NameTable &table : NameTables::All)
            for (int i = 0; i < table.entries; ++i)
                characters += qsizetype(readName(rom, table, i).size());
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

// Fixed texts as long as the demo image's names decode to, table by table.
std::array<QStringList, 4> fixedTexts()
{
    static const QString sample = QStringLiteral("Hero Slime Ax ");
    const DemoImage::Contents demo = DemoImage::build();
    std::array<QStringList, 4> texts;
    for (std::size_t c = 0; c < 4; ++c) {
        if (qsizetype(demo.tables[c].size()) != NameTables::All[c].entries)
            Bench::die(QStringLiteral("the demo image's tables do not match the name tables"));
        for (const DemoImage::Entry &entry : demo.tables[c]) {
            const qsizetype length = entry.decoded.size();
            texts[c].append(sample.repeated(length / sample.size() + 1).left(length));
        }
    }
    return texts;
}

// What a load costs the toolkit alone: each row appended, the bar set and
// the events let through, as a real load does, in a plain window that copies
// the real one's lists and bar (place, size, visibility) and its font.
void bareLoads(int loads)
{
    static const char *const listNames[] = {"CharLST", "MonsterLST", "MagicLST", "ItemLST"};
    const std::array<QStringList, 4> texts = fixedTexts();
    QWidget bare;
    std::array<QListWidget *, 4> lists{};
    QProgressBar *bar = nullptr;
    {
        const Form1 form;
        bare.setFont(form.font());
        bare.setFixedSize(Bench::child<QWidget>(form, "client")->size());
        for (std::size_t c = 0; c < 4; ++c) {
            const auto *real = Bench::child<QListWidget>(form, listNames[c]);
            auto *names = new QListWidget(&bare);
            names->setGeometry(real->geometry());
            names->setSelectionMode(real->selectionMode());
            names->setUniformItemSizes(real->uniformItemSizes());
            names->setEnabled(real->isEnabled());
            names->setHidden(real->isHidden());
            lists[c] = names;
        }
        // Made after the lists, as in the real window, so it lies in front.
        const auto *realBar = Bench::child<QProgressBar>(form, "pbar");
        bar = new QProgressBar(&bare);
        bar->setGeometry(realBar->geometry());
        bar->setTextVisible(realBar->isTextVisible());
        bar->hide();
    }
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare))
        Bench::die(QStringLiteral("the bare window was never shown"));

    std::vector<double> ms;
    for (int n = 0; n < loads; ++n) {
        Bench::settle();
        QElapsedTimer t;
        t.start();
        for (QListWidget *names : lists)
            names->clear();
        for (std::size_t c = 0; c < 4; ++c) {
            const QStringList &rows = texts[c];
            bar->setMaximum(int(rows.size()) - 1);
            if (c == 0)
                bar->show();
            for (qsizetype i = 0; i < rows.size(); ++i) {
                lists[c]->addItem(rows.at(i));
                bar->setValue(int(i));
                QApplication::processEvents();
            }
        }
        bar->hide();
        ms.push_back(Bench::elapsedMs(t));
        for (std::size_t c = 0; c < 4; ++c)
            if (lists[c]->count() != NameTables::All[c].entries)
                Bench::die(QStringLiteral("the bare %1 holds %2 rows")
                               .arg(QString::fromLatin1(listNames[c]))
                               .arg(lists[c]->count()));
    }
    Bench::report(QStringLiteral("bare-") + QGuiApplication::platformName(),
                  Bench::describe(Bench::spread(ms), loads, "runs of 758 rows"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ensureTahoma();
    const int loads = Bench::count("--loads", 10);
    const int reads = Bench::count("--reads", 200);
    const int bares = Bench::count("--bare", 10);
    const Bench::ScratchImage image;
    floorOfReads(image.path, reads);
    fullLoads(image.path, loads);
    bareLoads(bares);
    return 0;
}
