// The station window offscreen: four emulated writers on test clocks of their
// own, one of them failing its chips; Load ROM File loads every writer, F5
// starts every socket at once, each tile shows its verdict, and the log has
// one row a chip with its writer.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/StationTile.h"
#include "app/ProductionReport.h"
#include "app/StationWindow.h"
#include "app/Unit1.h"
#include "job/Sha256.h"
#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "config/WriterIni.h"
#include "link/SystemSerialPort.h"
#ifndef _WIN32
#include "../RecordServerSupport.h"
#endif

namespace {

struct Station4 {
    QTemporaryDir dir;
    std::map<std::string, std::shared_ptr<otp::emu::WriterEmulator>> writers;
    std::unique_ptr<StationWindow> window;

    // `rom`: loaded at once, as main.cpp loads the one on its command line,
    // while the writers still start up.
    // `job`: a job file made in the folder, the window in job mode; `before`: what the test does to the writers before they start up.
    explicit Station4(const std::map<std::string, std::string>& faults, const char* rom = nullptr,
                      const std::string& job = {}, const std::function<void(Station4&)>& before = nullptr) {
        for (const char* name : {"Writer.ini", "demo-rx4400.rom"}) {
            QFile::copy(QStringLiteral(OTP_SOURCE_DIR "/examples/") + QLatin1String(name), dir.filePath(QLatin1String(name)));
        }
        const std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4"};
        for (const std::string& port : ports) {
            writers[port] = otp::emu::MakeDemoWriter();
            // Counters apart: no two chips get one rolling code.
            writers[port]->Socket().SetNextRollingCode(static_cast<uint16_t>(0x1000 * (writers.size())));
            const auto it = faults.find(port);
            std::string error;
            if (it != faults.end()) {
                EXPECT_TRUE(writers[port]->AddFault(it->second, error)) << error;
            }
        }
        const auto line = [this](const std::string& port, size_t) {
            otp::WriterLine l;
            auto pacer = std::make_unique<otp::VirtualPacer>();
            l.opener = std::make_unique<otp::emu::EmulatedPortOpener>(writers[port], *pacer);
            l.pacer = std::move(pacer);
            return l;
        };
        if (before) before(*this);  // before the writers start up
        window = std::make_unique<StationWindow>(ports, line, dir.path().toStdString(),
                                                 dir.filePath(QStringLiteral("p.csv")).toStdString(), false);
        if (!job.empty()) {
            QFile out(dir.filePath(QStringLiteral("order.otpjob")));
            EXPECT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(job.data(), static_cast<qint64>(job.size()));
            out.close();
            std::string error;
            EXPECT_TRUE(window->UseJob(dir.filePath(QStringLiteral("order.otpjob")).toStdString(), error)) << error;
            // Pressed at once, while every socket starts up and loads: one start each, once its load has passed.
            Key(kProductionKey);
        }
        window->show();
        if (rom) window->LoadFile(dir.filePath(QLatin1String(rom)));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        WaitIdle();
    }
    bool WaitIdle() { return QTest::qWaitFor([this] { return !window->Busy(); }, 30000); }
    std::vector<QString> Verdicts() const {
        std::vector<QString> v;
        for (size_t i = 0; i < window->Writers(); ++i) v.push_back(window->Tile(i)->VerdictText());
        return v;
    }
    QStringList Log() const {
        QFile f(dir.filePath(QStringLiteral("p.csv")));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    void Key(int key, bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(window.get(), &press);
    }
};

}  // namespace

TEST(StationWindow, F5PassesEveryGoodSocketAndAFailingOneSaysWhy) {
    Station4 s(std::map<std::string, std::string>{{"COM3", "e:corrupt=0"}}, "demo-rx4400.rom");
    EXPECT_EQ(s.Verdicts(), std::vector<QString>(4, QStringLiteral("ready")));

    s.Key(kProductionKey);
    // Pressed again at once, and held: nothing more is started or queued.
    s.Key(kProductionKey, true);
    ASSERT_TRUE(s.WaitIdle());
    s.Key(kProductionKey, true);
    QTest::qWait(20);
    EXPECT_FALSE(s.window->Busy());
    EXPECT_EQ(s.Verdicts(), (std::vector<QString>{"PASS", "PASS", "FAIL", "PASS"}));
    EXPECT_TRUE(s.window->Tile(2)->Finding().startsWith(QStringLiteral("OTP Verify Fail !!!")))
        << s.window->Tile(2)->Finding().toStdString();
    EXPECT_TRUE(s.window->Totals().startsWith(QStringLiteral("Station: 4 chips, passed 3, failed 1, yield 75.0 %")))
        << s.window->Totals().toStdString();
    const QStringList log = s.Log();
    ASSERT_EQ(log.size(), 5) << log.join('\n').toStdString();
    QStringList writers;
    for (int i = 1; i < log.size(); ++i) {
        writers << log[i].section(QLatin1Char(','), -5, -5);  // before the lot, operator, job and its id
        // The chips were worked from the file loaded while the writers started up.
        EXPECT_TRUE(log[i].contains(QStringLiteral(",auto,RX4400,demo-rx4400.rom,FE5A,"))) << log[i].toStdString();
    }
    writers.sort();
    EXPECT_EQ(writers, QStringList({"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_TRUE(s.window->grab().save(QStringLiteral(OTP_BINARY_DIR "/station-window.png")));

    // One socket by its key: only that writer works a chip.
    for (auto& [port, writer] : s.writers) otp::emu::PutInSocket(*writer, otp::emu::IcKind::Blank);
    s.Key(Qt::Key_2);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Log().size(), 6);
    EXPECT_TRUE(s.Log().last().endsWith(QStringLiteral(",COM2,,,,")));
    EXPECT_FALSE(s.window->Tile(1)->PaneLines(1).isEmpty());

    // The failing socket set aside (a worn contact): F5 passes it by until it is taken back.
    auto* aside = s.window->Tile(2)->findChild<QPushButton*>(QStringLiteral("TileAside"));
    ASSERT_NE(aside, nullptr);
    aside->click();
    EXPECT_EQ(s.window->Tile(2)->VerdictText(), QStringLiteral("aside"));
    EXPECT_EQ(aside->text(), QStringLiteral("Take back"));
    for (auto& [port, writer] : s.writers) otp::emu::PutInSocket(*writer, otp::emu::IcKind::Blank);
    s.Key(kProductionKey);
    EXPECT_TRUE(aside->isEnabled());  // it does not work itself: it may be taken back meanwhile
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Log().size(), 9);
    EXPECT_TRUE(s.window->Totals().contains(QStringLiteral("; 3 of 4 writers running; set aside: COM3")))
        << s.window->Totals().toStdString();
    s.Key(Qt::Key_3);
    EXPECT_FALSE(s.window->Busy());
    aside->click();
    EXPECT_EQ(s.Verdicts(), (std::vector<QString>{"PASS", "PASS", "ready", "PASS"}));

    // A close while the sockets work is owed: every chip under way ends and
    // is recorded, then the window closes.
    for (auto& [port, writer] : s.writers) otp::emu::PutInSocket(*writer, otp::emu::IcKind::Blank);
    s.Key(kProductionKey);
    EXPECT_TRUE(s.window->Busy());
    EXPECT_FALSE(aside->isEnabled());
    EXPECT_FALSE(s.window->close());
    EXPECT_TRUE(s.window->isVisible());
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.window->isVisible(); }, 5000));
    EXPECT_EQ(s.Log().size(), 13);
}

TEST(StationWindow, AWriterThatDoesNotAnswerIsStoppedAndItsTileSaysWhy) {
    Station4 s(std::map<std::string, std::string>{});
    // The writers answered their start-up; one dies before the first chip.
    std::string error;
    ASSERT_TRUE(s.writers["COM4"]->AddFault("*:die-rx=1", error)) << error;
    s.window->LoadFile(s.dir.filePath(QStringLiteral("demo-rx4400.rom")));
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Verdicts()[3], QStringLiteral("FAIL"));
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Verdicts(), (std::vector<QString>{"PASS", "PASS", "PASS", "FAIL"}));
    EXPECT_TRUE(s.window->Tile(3)->Finding().contains(QStringLiteral("Stopped: the writer does not answer")))
        << s.window->Tile(3)->Finding().toStdString();
    EXPECT_TRUE(s.window->Totals().endsWith(QStringLiteral("3 of 4 writers running"))) << s.window->Totals().toStdString();
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    // The stopped writer is left out: three chips more, three rows.
    EXPECT_EQ(s.Log().size(), 1 + 3 + 3);
}

// A damaged file is asked about once for every writer: No leaves every
// writer as it was, Yes loads it into each.
TEST(StationWindow, ADamagedFileIsAskedAboutOnceForAllWriters) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        Station4 s(std::map<std::string, std::string>{});
        QFile good(s.dir.filePath(QStringLiteral("demo-rx4400.rom")));
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        QByteArray text = good.readAll();
        const int at = text.indexOf("CHECKSUM ");
        ASSERT_GE(at, 0);
        text[at + 9] = text[at + 9] == '0' ? '1' : '0';  // the sum no longer matches the data
        QFile damaged(s.dir.filePath(QStringLiteral("damaged.rom")));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(text);
        damaged.close();
        int asked = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            ++asked;
            box->done(yes ? QMessageBox::Yes : QMessageBox::No);
        });
        answer.start(5);
        s.window->LoadFile(damaged.fileName());
        ASSERT_TRUE(s.WaitIdle());
        answer.stop();
        EXPECT_EQ(asked, 1);
        s.Key(kProductionKey);
        ASSERT_TRUE(s.WaitIdle());
        // Auto runs from the damaged file's image only when it was loaded.
        const QStringList log = s.Log();
        ASSERT_EQ(log.size(), 5);
        for (int i = 1; i < log.size(); ++i)
            EXPECT_EQ(log[i].contains(QStringLiteral(",damaged.rom,")), yes) << log[i].toStdString();
    }
}

// The station window on two serial lines with a writer on each, as on a line:
// OTPWRITER_TEST_STATION_LINES names the ports ("COM1,COM2";
// tests/wine/window-com-port-run maps wine's COM1 and COM2 to two
// writer-emulators' ptys). Load ROM File and F5 pass both chips, two rows.
TEST(StationWindow, OnTwoLinesLoadAndF5PassBothChips) {
    const char* lines = std::getenv("OTPWRITER_TEST_STATION_LINES");
    if (lines == nullptr) GTEST_SKIP() << "OTPWRITER_TEST_STATION_LINES names no ports with writers on them";
    std::vector<std::string> ports;
    ASSERT_EQ(otp::ParseStationPorts(lines, ports), "");
    QTemporaryDir dir;
    for (const char* name : {"Writer.ini", "demo-rx4400.rom"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(OTP_SOURCE_DIR "/examples/") + QLatin1String(name),
                                dir.filePath(QLatin1String(name))));
    const QString log = dir.filePath(QStringLiteral("p.csv"));
    StationWindow window(
        ports, [](const std::string&, size_t) { return otp::SystemWriterLine(); }, dir.path().toStdString(),
        log.toStdString(), false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto idle = [&window] { return QTest::qWaitFor([&window] { return !window.Busy(); }, 120000); };
    ASSERT_TRUE(idle());
    window.LoadFile(dir.filePath(QStringLiteral("demo-rx4400.rom")));
    ASSERT_TRUE(idle());
    QKeyEvent press(QEvent::KeyPress, kProductionKey, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    ASSERT_TRUE(idle());
    for (size_t i = 0; i < ports.size(); ++i)
        EXPECT_EQ(window.Tile(i)->VerdictText().toStdString(), "PASS") << ports[i] << ": "
                                                                         << window.Tile(i)->Finding().toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), static_cast<int>(ports.size()) + 1) << rows.join('\n').toStdString();
}

#ifndef _WIN32
// With the line's record: every chip reaches the server; while it is away no
// chip starts, each tile says why, and once it is back the chips run again.
// (The test's server is a POSIX script's; tests/wine/record-run records from
// Windows.)
TEST(StationWindow, RecordsEveryChipAndStartsNoneWhileTheServerIsAway) {
    otp::test::RecordServerProcess server;
    ASSERT_TRUE(server.Started());
    Station4 s({}, "demo-rx4400.rom");
    s.window->ledger().SetStation("bench");
    s.window->UseRecordServer(server.Url());
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Verdicts(), std::vector<QString>(4, QStringLiteral("PASS")));
    EXPECT_EQ(server.Query("SELECT writer, chip, verdict FROM chips WHERE station = 'bench' ORDER BY writer"),
              "COM1|1|pass\nCOM2|1|pass\nCOM3|1|pass\nCOM4|1|pass");

    server.Stop();
    for (auto& [port, writer] : s.writers) otp::emu::PutInSocket(*writer, otp::emu::IcKind::Blank);
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Verdicts(), std::vector<QString>(4, QStringLiteral("REFUSED")));
    EXPECT_TRUE(s.window->Tile(0)->Finding().startsWith(QStringLiteral("waiting for the record server ")))
        << s.window->Tile(0)->Finding().toStdString();
    EXPECT_EQ(s.Log().size(), 5);

    server.Resume();
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.Verdicts(), std::vector<QString>(4, QStringLiteral("PASS")));
    EXPECT_EQ(server.Query("SELECT count(*), count(DISTINCT record_key) FROM chips"), "8|8");

    // The report of the log and the record: the 8 chips both hold, once (the
    // refused ones were never begun, and are in neither).
    const std::string page = otp::OpenProductionReport(s.window.get(), s.window->ledger().LogPath(), server.Url(),
                                                       s.dir.path().toStdString(), false);
    QFile html(QString::fromStdString(page));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly)) << page;
    const QString text = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("id=\"chips-per-writer\""))) << page;
    EXPECT_TRUE(text.contains(QStringLiteral("Chips: 8 (passed 8, failed 0, yield 100.0 %)"))) << text.left(3000).toStdString();

    const QLabel* onlyHere = s.window->findChild<QLabel*>(QStringLiteral("OnlyHereNotice"));
    ASSERT_NE(onlyHere, nullptr);
    EXPECT_FALSE(onlyHere->isVisible());

    // The server gone while COM1's chip is under way: the chip passes on its
    // record in the spool, and the status bar says the record is only here
    // until the next chip has sent it.
    std::string error;
    otp::emu::WriterEmulator& com1 = *s.writers["COM1"];
    ASSERT_TRUE(com1.AddFault("*#1:late=1", error)) << error;
    com1.SetFaultReporter([&server](const std::string&) { server.Stop(); });
    for (int round = 0; round < 2; ++round) {
        otp::emu::PutInSocket(com1, otp::emu::IcKind::Blank);
        s.window->StartOne(0);
        ASSERT_TRUE(s.WaitIdle());
        EXPECT_EQ(s.window->Tile(0)->VerdictText(), QStringLiteral("PASS")) << s.window->Tile(0)->Finding().toStdString();
        if (round == 0) {
            EXPECT_TRUE(onlyHere->isVisible());
            EXPECT_TRUE(onlyHere->text().startsWith(QStringLiteral("1 record is only in "))) << onlyHere->text().toStdString();
            EXPECT_TRUE(onlyHere->text().contains(QStringLiteral("otpwriter-record-bench.spool, not yet in the record server ")))
                << onlyHere->text().toStdString();
            server.Resume();
        }
    }
    EXPECT_FALSE(onlyHere->isVisible()) << onlyHere->text().toStdString();
    EXPECT_EQ(server.Query("SELECT count(*), count(DISTINCT record_key) FROM chips"), "10|10");
}
#endif

// Job mode: the load is locked and the title and tiles name the job; F5
// pressed while the sockets start up and load the job's image starts each
// once its load has passed; a writer holding another firmware is stopped,
// its tile saying what the job wants; the order of 5 stops the chips at 5.
TEST(StationWindow, AJobLocksTheLoadQueuesF5DuringItsLoadAndStopsAtItsOrder) {
    QFile rom(QStringLiteral(OTP_SOURCE_DIR "/examples/demo-rx4400.rom"));
    ASSERT_TRUE(rom.open(QIODevice::ReadOnly));
    const QByteArray bytes = rom.readAll();
    const std::string job = "name = order\nimage = demo-rx4400.rom\nimage-sha256 = " +
                            otp::Sha256Hex(std::string(bytes.constData(), static_cast<size_t>(bytes.size()))) +
                            "\nchecksum = FE5A\nbody = RX4400\nlock = on\nrolling = off\nfirmware = 12071000\n"
                            "quantity = 5\nlot = L7\n";
    Station4 s({}, nullptr, job, [](Station4& st) {
        st.writers["COM4"]->Poke(otp::emu::WriterEmulator::kVersionAddr + 7, 5);  // another firmware
    });
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.window->windowTitle().contains(QStringLiteral("job order ("))) << s.window->windowTitle().toStdString();
    EXPECT_FALSE(s.window->LoadButton()->isEnabled());
    EXPECT_EQ(s.window->LoadButton()->toolTip(), QStringLiteral("The job order fixes the image and the settings"));
    EXPECT_EQ(s.Verdicts(), (std::vector<QString>{QStringLiteral("PASS"), QStringLiteral("PASS"), QStringLiteral("PASS"),
                                                 QStringLiteral("stopped")}));
    EXPECT_TRUE(s.window->Tile(3)->Finding().contains(
        QStringLiteral("the job order cannot run on COM4: the writer's firmware: it gives \"12071005\", the job wants \"12071000\"")))
        << s.window->Tile(3)->Finding().toStdString();
    for (auto& [port, writer] : s.writers) otp::emu::PutInSocket(*writer, otp::emu::IcKind::Blank);
    s.Key(kProductionKey);
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.window->Totals().endsWith(QStringLiteral("order complete: 5 of 5 passed"))) << s.window->Totals().toStdString();
    EXPECT_TRUE(s.window->grab().save(QStringLiteral(OTP_BINARY_DIR "/station-window-job.png")));
    int complete = 0;
    for (size_t i = 0; i < 3; ++i)
        complete += s.window->Tile(i)->VerdictText() == QStringLiteral("complete") &&
                    s.window->Tile(i)->Finding() == QStringLiteral("No chip started: order complete: 5 of 5 passed");
    EXPECT_EQ(complete, 1);
    // Each tile's counts end with the order as its last chip left it.
    for (size_t i = 0; i < 3; ++i) {
        const QString counts = s.window->Tile(i)->findChild<QLabel*>(QStringLiteral("TileCounts"))->text();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Chips [12]: passed [12], failed 0, yield 100.0 %, order [1-5] of 5$"))
                        .match(counts)
                        .hasMatch())
            << counts.toStdString();
    }
    const QStringList log = s.Log();
    ASSERT_EQ(log.size(), 6) << log.join('\n').toStdString();
    for (int i = 1; i < log.size(); ++i) {
        EXPECT_TRUE(log[i].contains(QStringLiteral(",pass,"))) << log[i].toStdString();
        EXPECT_TRUE(log[i].contains(QStringLiteral(",L7,,order,"))) << log[i].toStdString();
    }
}
