// The operator's program: the main window on the serial port Writer.ini names.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QSettings>

#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/EndRequests.h"
#include "app/Latin1Text.h"
#include "app/ParentConsole.h"
#include "app/ProgramInfo.h"
#include "app/StationWindow.h"
#include "app/Unit1.h"
#include "config/PathLookup.h"
#include "config/StandardStreams.h"
#include "config/WriterIni.h"
#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "link/SystemSerialPort.h"
#include "view/FormModel.h"
#include "version/ProgramVersion.h"

namespace {

const char* const kUsage =
    "Usage: otpwriter [--demo] [--log FILE] [--record URL] [--dir DIR] [--writers PORTS] [FILE.rom]\n"
    "       otpwriter [OPTIONS] --job FILE.otpjob   (or FILE.otpjob alone)\n"
    "The OTP writer's main window. Writer.ini is read from the working directory:\n"
    "DIR when given, else the folder of FILE.rom when given, else the current one.\n"
    "FILE.rom is loaded as Load ROM File would, once the window is up.\n"
    "  --demo    talk to an emulated writer inside this program instead of a\n"
    "            writer on the serial port; the Demo menu puts a fresh blank\n"
    "            chip into its socket\n"
    "  --log FILE\n"
    "            append one CSV line per operation on a chip (Auto, Blank Check,\n"
    "            Program, Verify, Read, Copy, Testcode > Write) to FILE; without\n"
    "            it, the PRODUCTION_LOG of Writer.ini, if any\n"
    "  --lot LOT, --operator NAME\n"
    "            name the lot and the operator in every record of the log\n"
    "  --record URL\n"
    "            write every record to the line's record server too, a PostgreSQL\n"
    "            database named by a libpq URL (postgresql://otp@server/line);\n"
    "            without it, the PRODUCTION_RECORD of Writer.ini, if any. While it\n"
    "            cannot be reached no chip starts, and the records it has not got\n"
    "            are kept in the station's spool, otpwriter-record-STATION.spool\n"
    "            beside the log, else in the user's data folder\n"
    "  --station NAME\n"
    "            the name the records give this computer (default: its host name)\n"
    "  --writers PORTS\n"
    "            drive these writers (COM1 to COM256, separated by commas) instead\n"
    "            of Writer.ini's RS232_PORT. With more than one, the station window\n"
    "            opens: a tile a writer, Load ROM File loads every writer, F5 (or\n"
    "            Start all) starts Auto in every socket at once, a click on a tile\n"
    "            or its key 1-8 one socket, a tile's Set aside passes its socket by\n"
    "            until Take back; with --demo each port is an emulated writer\n"
    "  --job FILE.otpjob\n"
    "            run the production job FILE (made by otpwriter-cli job-save) in\n"
    "            the station window, one tile a writer (without --writers, the\n"
    "            writers of Writer.ini's STATION_WRITERS COM1,COM2,..., else of its\n"
    "            RS232_PORT): each writer loads the job's image (found beside it by\n"
    "            its SHA-256), takes its settings and reads them back, and must give\n"
    "            its firmware version, or its tile says what differs; the load is\n"
    "            locked, every record names the job, and the chips stop when its\n"
    "            order is complete. A FILE.otpjob named alone (opened from the\n"
    "            desktop) is the same, in the job's folder unless --dir is given\n"
    "  --help    show this help\n"
    "  --version show the program's version\n"
    "\n"
    "F5 starts Auto, as a click on it does (a foot switch can send it).\n"
    "A close, SIGINT, SIGTERM or SIGHUP, or the end of the session, lets the\n"
    "operation under way finish and write its row before the window ends.\n"
    "\n"
    "Ports: Writer.ini names COM1 to COM4, --writers COM1 to COM256. COMn opens the device named by the\n"
    "environment variable OTPWRITER_COMn when it is set, else /dev/ttyS<n-1> on\n"
    "Linux (COM1 is /dev/ttyS0) and \\\\.\\COMn on Windows.\n";

// The writers a job opened without --writers runs on: Writer.ini's
// STATION_WRITERS, else the port of its RS232_PORT (COM1 when it names none,
// and the start-up then says why). Empty, with `error`, for a list that is
// no list of ports.
std::vector<std::string> IniWriters(const std::string& dir, std::string& error) {
    otp::WriterState state;
    otp::FormModel scratch;
    const otp::IniFile ini = otp::LoadWriterIni(dir);
    if (ini.lines) otp::ReadWriterIni(state, scratch, dir, ini);
    std::vector<std::string> writers;
    if (!state.StationWriters.empty()) {
        error = otp::ParseStationPorts(state.StationWriters, writers, "STATION_WRITERS in Writer.ini");
        if (!error.empty()) writers.clear();
        return writers;
    }
    return {state.PortName.empty() ? "COM1" : state.PortName};
}

// A job that cannot run: said on stderr and in a box, which a signal or the
// session's end closes too. The program's exit status.
int RefuseJob(otp::EndRequests& ends, const std::string& why) {
    std::cerr << "otpwriter: " << why << "\n";
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Production job"), otp::ToQ(why));
    ends.Attach([] { return false; }, [&box] { box.reject(); }, &box);
    box.exec();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard descriptor would be the port's.
    if (!otp::OpenStandardStreams()) return 1;
    // Help needs no display, so it is answered before the toolkit starts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            otp::ReachParentConsole();
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            otp::ReachParentConsole();
            std::cout << "otpwriter " << otp::kProgramVersion << "\nBuilt " << otp::kBuildDate << ".\n";
            return 0;
        }
    }

    QApplication app(argc, argv);  // takes the toolkit's own options out of argv
    // The application title (otp::kApplicationTitle) titles the notice boxes.
    // It is not made the display name, which some platforms would append to
    // the window caption.
    QCoreApplication::setApplicationName(otp::ProgramName());
    QCoreApplication::setApplicationVersion(otp::ProgramVersion());
    QApplication::setWindowIcon(otp::ProgramIcon());

    bool demo = false;
    std::string log;
    QString dir;
    QString romFile;
    std::vector<std::string> writers;
    std::string lot, operatorName, record, stationName;
    std::string jobFile;
    bool jobOpened = false;  // named alone, as the desktop opens a job
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--demo") {
            demo = true;
        } else if ((arg == "--lot" || arg == "--operator") && i + 1 < argc && argv[i + 1][0] != '\0') {
            (arg == "--lot" ? lot : operatorName) = argv[++i];
        } else if ((arg == "--record" || arg == "--station") && i + 1 < argc && argv[i + 1][0] != '\0') {
            (arg == "--record" ? record : stationName) = argv[++i];
        } else if (arg == "--writers" && i + 1 < argc) {
            const std::string complaint = otp::ParseStationPorts(argv[++i], writers);
            if (!complaint.empty()) {
                otp::ReachParentConsole();
                std::cerr << "otpwriter: " << complaint << "\nTry 'otpwriter --help'.\n";
                return 2;
            }
        } else if (arg == "--job" && i + 1 < argc && argv[i + 1][0] != '\0') {
            jobFile = QFileInfo(QFile::decodeName(argv[++i])).absoluteFilePath().toStdString();
        } else if (arg == "--log" && i + 1 < argc && argv[i + 1][0] != '\0') {
            log = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc && argv[i + 1][0] != '\0') {
            dir = QFile::decodeName(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-' && QString::fromLocal8Bit(argv[i]).endsWith(QStringLiteral(".otpjob"), Qt::CaseInsensitive) && jobFile.empty()) {
            // A job opened from the desktop.
            jobFile = QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath().toStdString();
            jobOpened = true;
        } else if (!arg.empty() && arg[0] != '-' && romFile.isEmpty()) {
            romFile = QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();
        } else {
            otp::ReachParentConsole();
            std::cerr << "otpwriter: unknown option " << arg << "\nTry 'otpwriter --help'.\n";
            return 2;
        }
    }
    // A window started from the desktop (a .rom file opened with it) works in
    // the folder that holds its Writer.ini.
    if (dir.isEmpty() && !romFile.isEmpty()) dir = QFileInfo(romFile).absolutePath();
    if (dir.isEmpty() && jobOpened) dir = QFileInfo(QString::fromStdString(jobFile)).absolutePath();
    if (!jobFile.empty() && !romFile.isEmpty()) {
        otp::ReachParentConsole();
        std::cerr << "otpwriter: a job loads its own image; no .rom file can be named beside it\nTry 'otpwriter --help'.\n";
        return 2;
    }
    if (!dir.isEmpty() && !QDir::setCurrent(dir)) {
        std::cerr << "otpwriter: cannot change into " << QFile::encodeName(dir).toStdString() << "\n";
        return 2;
    }
    // From here on a signal (or the session's end) closes the window between
    // operations, never in the middle of one.
    otp::EndRequests ends(std::cerr);
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, otp::ProgramName(), otp::ProgramName());
    // A job runs in the station window, on the writers Writer.ini names
    // when --writers does not.
    std::string writersError;
    if (!jobFile.empty() && writers.empty()) writers = IniWriters(otp::CurrentDirectory(), writersError);
    if (!writersError.empty()) return RefuseJob(ends, writersError);
    if (writers.size() > 1 || !jobFile.empty()) {
        const auto line = [demo](const std::string&, size_t index) {
            return demo ? otp::emu::MakeDemoLine(index) : otp::SystemWriterLine();
        };
        StationWindow station(writers, line, otp::CurrentDirectory(), log, demo, lot, operatorName);
        if (!stationName.empty()) station.ledger().SetStation(stationName);
        std::string jobError;
        if (!jobFile.empty() && !station.UseJob(jobFile, jobError)) return RefuseJob(ends, jobError);
        station.UseRecordServer(record);
        ends.Attach([&station] { return station.Busy(); }, [&station] { station.CloseWhenIdle(); }, &station);
        station.show();
        if (!romFile.isEmpty())
            QMetaObject::invokeMethod(&station, [&station, romFile] { station.LoadFile(romFile); }, Qt::QueuedConnection);
        return app.exec();
    }
    // The emulated writer stamps its answers with a steady clock, the same
    // time base the window's pauses run on.
    otp::RealPacer demoClock;
    std::unique_ptr<otp::emu::EmulatedPortOpener> demoOpener;
    if (demo) demoOpener = otp::emu::MakeDemoOpener(demoClock);
    // A port named with --writers may be any of COM1 to COM256.
    otp::SystemPortOpener realOpener(!writers.empty());
    otp::PortOpener& opener = demoOpener ? *demoOpener : static_cast<otp::PortOpener&>(realOpener);

    TForm1 form(opener, otp::CurrentDirectory(), nullptr, nullptr, writers.empty() ? std::string() : writers[0]);
    ends.Attach([&form] { return form.Busy(); }, [&form] { form.CloseWhenIdle(); }, &form);
    if (demoOpener) {
        form.EnableDemo([&demoOpener] { otp::emu::PutInSocket(demoOpener->Writer(), otp::emu::IcKind::Blank); });
    }
    form.recorder().ledger().SetBatch(lot, operatorName);
    if (!stationName.empty()) form.recorder().ledger().SetStation(stationName);
    form.UseProductionLog(log);
    form.UseRecordServer(record);
    // The file dialogs' folder outlives the run: ~/.config/otpwriter/otpwriter.ini.
    form.RememberFoldersIn(settings);
    form.RememberWaitsIn(settings);
    form.show();  // centred on the screen the first time it is shown
    if (!romFile.isEmpty()) {
        QMetaObject::invokeMethod(&form, [&form, romFile] { form.LoadGivenRomFile(romFile); }, Qt::QueuedConnection);
    }
    return app.exec();
}
