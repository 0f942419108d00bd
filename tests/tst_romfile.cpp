// The image file: layout offsets, safe opening, reads and writes at the edges.
#include "CoreQt.h"
#include "NameStore.h"
#include "NameTables.h"
#include "OpenSwap.h"
#include "RomError.h"
#include "RomFile.h"
#include "StandIns.h"
#include "TestFiles.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace NameTables;

class RomFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void tableEdgesLieWhereTheImageHasThem()
    {
        const auto &chars = table(Category::Characters);
        const auto &monsters = table(Category::Monsters);
        const auto &magic = table(Category::Magic);
        const auto &items = table(Category::Items);
        QCOMPARE(nameOffset(chars, 0), 0x47AC0);
        QCOMPARE(nameOffset(chars, 63), 0x47C3A);
        QCOMPARE(tableEnd(chars), 0x47C40);
        QCOMPARE(nameOffset(monsters, 0), 0xFC250);
        QCOMPARE(nameOffset(monsters, 383), 0xFD146);
        QCOMPARE(tableEnd(monsters), 0xFD150);
        QCOMPARE(entryOffset(magic, 0), 0x26F767);
        QCOMPARE(nameOffset(magic, 0), 0x26F768);
        QCOMPARE(nameOffset(magic, 53), 0x26F8DB);
        QCOMPARE(tableEnd(magic), 0x26F8E1);
        QCOMPARE(entryOffset(items, 0), 0x12B500);
        QCOMPARE(nameOffset(items, 0), 0x12B501);
        QCOMPARE(nameOffset(items, 255), 0x12C1F4);
        QCOMPARE(tableEnd(items), 0x12C200);
        // Each name field ends where its entry does.
        for (const NameTable &t : All)
            QCOMPARE(t.nameOffset + t.nameLength, t.entrySize);
    }

    void readsAndWritesInPlace()
    {
        const QString path = dir.filePath("short.bin");
        QVERIFY(writeAll(path, QByteArray("Title   \x01\x02\x03", 11)));
        RomFile rom;
        QVERIFY(rom.open(native(path)));
        QCOMPARE(toQ(rom.readText(0, 8)), QStringLiteral("Title   "));
        QCOMPARE(rom.readByte(9), std::uint8_t(2));
        // Past the end: zero, no failure, and the file is not grown.
        QCOMPARE(rom.readByte(11), std::uint8_t(0));
        QCOMPARE(rom.readByte(0x12C1F4), std::uint8_t(0));
        rom.writeByte(10, 0xAB);
        QVERIFY_THROWS_EXCEPTION(RomError, rom.writeByte(11, 0xAB));
        QVERIFY_THROWS_EXCEPTION(RomError, rom.writeByte(0x47AC0, 0xAB));
        rom.sync();
        // Every write is in the file as soon as the call returns.
        QCOMPARE(readAll(path), QByteArray("Title   \x01\x02\xAB", 11));
        rom.close();
        rom.close();
        QVERIFY(!rom.isOpen());
        QVERIFY_THROWS_EXCEPTION(RomError, rom.readByte(0));
        // A layout set for one image does not carry over to the next.
        rom.setOffsetShift(-512);
        QVERIFY(rom.open(native(path)));
        QCOMPARE(rom.offsetShift(), 0);
    }

    void titleBytesOutsideAsciiComeThroughAsLatin1()
    {
        const QString path = dir.filePath("title.bin");
        QVERIFY(writeAll(path, QByteArray("\x00\x1F\x7F\x80\xE9\xFF", 6)));
        RomFile rom;
        QVERIFY(rom.open(native(path)));
        const QString text = toQ(rom.readText(0, 6));
        QCOMPARE(text.size(), 6);
        QCOMPARE(text.at(4), QChar(0xE9));
        QCOMPARE(text.at(5), QChar(0xFF));
    }

    void refusesWhatItCannotSafelyEdit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing.smc" << "No such file or directory";
        QTest::newRow("directory") << "folder" << "Is a directory";
        QTest::newRow("fifo") << "pipe" << "Not a regular file";
        QTest::newRow("socket") << "socket" << "Not a regular file";
        QTest::newRow("read-only") << "locked.smc" << "Permission denied";
        QTest::newRow("no name") << "" << "No file was chosen.";
    }

    void refusesWhatItCannotSafelyEdit()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(QDir(dir.path()).mkpath("folder"));
        const QByteArray fifo = QFile::encodeName(dir.filePath("pipe"));
        if (!QFile::exists(dir.filePath("pipe")))
            QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        int sock = -1;
        if (name == "socket") {
            sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray socketPath = QFile::encodeName(dir.filePath("socket"));
            QVERIFY(socketPath.size() < int(sizeof address.sun_path));
            std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        }
        const QString locked = dir.filePath("locked.smc");
        if (!QFile::exists(locked)) {
            QVERIFY(writeAll(locked, QByteArray(16, 'x')));
            QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup));
        }

        RomFile rom;
        // A FIFO with no writer would block a plain open; this one must return at once.
        QVERIFY(!rom.open(native(name.isEmpty() ? QString() : dir.filePath(name))));
        QCOMPARE(toQ(rom.errorString()), reason);
        QVERIFY(!rom.isOpen());
        QVERIFY(!QFile::exists(dir.filePath("missing.smc")));
        QCOMPARE(readAll(locked), QByteArray(16, 'x'));
        if (sock >= 0)
            ::close(sock);
    }

    // Opening a FIFO, even to refuse it, would release a reader waiting at its
    // other end; the path is looked at first.
    void fifoIsRefusedWithoutBeingOpened()
    {
        const QString fifo = dir.filePath("waiting");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        QProcess reader;
        reader.start(QStringLiteral("cat"), {fifo});
        QVERIFY(reader.waitForStarted());
        for (const RomFile::Access access : {RomFile::Access::ReadWrite, RomFile::Access::ReadOnly}) {
            RomFile rom;
            QVERIFY(!rom.open(native(fifo), access));
        }
        QVERIFY2(!reader.waitForFinished(300), "the waiting reader was released");
        reader.kill();
        reader.waitForFinished();
    }

    // A FIFO renamed over the image after the look and before the opening is
    // never opened: what is opened is the file that was looked at. Without
    // /proc the path is opened, and the check after opening refuses the FIFO.
    void fifoSwappedInWhileOpeningIsNotOpened_data()
    {
        QTest::addColumn<bool>("withoutProc");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("reason");
        QTest::newRow("through /proc") << false << true << QString();
        QTest::newRow("without /proc") << true << false << "The file was replaced while it was being opened";
    }

    void fifoSwappedInWhileOpeningIsNotOpened()
    {
        QFETCH(bool, withoutProc);
        QFETCH(bool, opens);
        QFETCH(QString, reason);
        const QTemporaryDir here;
        const QString image = here.filePath("swapped.smc");
        const QString fifo = here.filePath("swapped-in");
        QVERIFY(writeAll(image, QByteArray(16, 'x')));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        // A reader learns of a writer that came and went by a hang-up.
        pollfd reader{::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK), POLLIN, 0};
        QVERIFY(reader.fd >= 0);
        RomFile rom;
        OpenSwap::arm(QFile::encodeName(image), QFile::encodeName(fifo), withoutProc);
        const bool opened = rom.open(native(image));
        OpenSwap::disarm();
        QVERIFY(!QFile::exists(fifo));
        QCOMPARE(opened, opens);
        QCOMPARE(toQ(rom.errorString()), reason);
        if (opened)
            QCOMPARE(toQ(rom.read(0, 16)), QByteArray(16, 'x'));
        QCOMPARE(::poll(&reader, 1, 0) == 1 && (reader.revents & POLLHUP), withoutProc);
        ::close(reader.fd);
    }

    // Another program cuts the file after the check and before the old bytes
    // are read: nothing is written, so the file is not grown again, and no
    // restore reaches past what was read.
    void fileCutBeforeTheOldBytesAreReadIsNotWritten_data()
    {
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("error");
        QTest::newRow("the write would go in") << 0 << -1;
        QTest::newRow("the write fails part-way") << 3 << EIO;
    }

    void fileCutBeforeTheOldBytesAreReadIsNotWritten()
    {
        QFETCH(int, accepted);
        QFETCH(int, error);
        const QString path = dir.filePath("cut.bin");
        QVERIFY(writeAll(path, QByteArray(16, 'x')));
        RomFile rom;
        QVERIFY(rom.open(native(path)));
        QString message;
        {
            const StandIns::FailingWrite writes(accepted, error);
            const auto cutting = FileAccess::replaceDiskForTesting(StandIns::realDiskWith([](FileAccess::Calls &c) {
                c.readAt = [](FileAccess::FileHandle file, std::span<std::uint8_t> into, std::int64_t offset) {
                    return ::ftruncate(int(file), 10) == 0 ? FileAccess::platform().readAt(file, into, offset)
                                                           : StandIns::failed(errno);
                };
            }));
            try { rom.writeField(8, bytesOf("Slimes")); } catch (const RomError &e) { message = toQ(e.message()); }
        }
        QCOMPARE(readAll(path), QByteArray(10, 'x'));
        QVERIFY(StandIns::FailingWrite::asked.empty());
        QVERIFY2(message.contains("beyond the end of the file (the file is 10 bytes long)"), qPrintable(message));
    }

    // One write per field, so a kill cannot stop a save half-way through it.
    void aNameIsWrittenWithOneWrite()
    {
        const QString path = dir.filePath("whole.bin");
        const NameTable &items = table(Category::Items);
        QVERIFY(writeAll(path, QByteArray(tableEnd(items), '\x11')));
        RomFile rom;
        QVERIFY(rom.open(native(path)));
        {
            const StandIns::FailingWrite watched(0, -1);
            storeName(rom, items, 255, "A&B");
        }
        QCOMPARE(StandIns::FailingWrite::asked, std::vector<size_t>{12});
        QCOMPARE(toQ(rom.read(nameOffset(items, 255), 12)), QByteArray("\x80\xFF\x81\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"));
    }

    void protectedFileOpensForReadingOnly()
    {
        const QString path = dir.filePath("original.smc");
        QVERIFY(writeAll(path, QByteArray("\x80\x81", 2)));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        RomFile rom;
        QVERIFY(rom.open(native(path), RomFile::Access::ReadOnly));
        QCOMPARE(rom.readByte(1), std::uint8_t(0x81));
        QVERIFY_THROWS_EXCEPTION(RomError, rom.writeByte(0, 0));
        QCOMPARE(readAll(path), QByteArray("\x80\x81", 2));
    }

    void characterDeviceIsRefused()
    {
        RomFile rom;
        QVERIFY(!rom.open(native(QStringLiteral("/dev/null"))));
        QCOMPARE(toQ(rom.errorString()), QStringLiteral("Not a regular file"));
    }

    void failingDiskIsReportedWithItsReason()
    {
        const QString path = dir.filePath("disk.bin");
        QVERIFY(writeAll(path, QByteArray(8, '\0')));
        RomFile rom;
        QVERIFY(rom.open(native(path)));
        QString writeMessage, readMessage;
        {
            const StandIns::FailingWrite failingWrite(0, EIO);
            // The write reads the field first, to put it back after a failure.
            const StandIns::FailingReads failingReads(1);
            try { rom.writeByte(0, 1); } catch (const RomError &e) { writeMessage = toQ(e.message()); }
            try { rom.readByte(0); } catch (const RomError &e) { readMessage = toQ(e.message()); }
        }
        QVERIFY2(writeMessage.endsWith("Input/output error"), qPrintable(writeMessage));
        QVERIFY2(readMessage.endsWith("Input/output error"), qPrintable(readMessage));
        QCOMPARE(readAll(path), QByteArray(8, '\0'));
    }
};

QTEST_GUILESS_MAIN(RomFileTest)
#include "tst_romfile.moc"
