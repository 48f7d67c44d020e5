#pragma once
// The console front end with several writers, in this process: one demo
// writer each on a test clock of its own, in a folder with the shipped
// Writer.ini and demo .rom.
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "RomFixture.h"
#include "emulator/IcAccess.h"

namespace otp::test {

struct StationRun {
    int status = -1;
    std::string out;
    std::vector<std::string> err;
    std::vector<std::string> log;  // run.csv's lines, without their CR
    bool ErrHas(const std::string& line) const { return Contains(err, line); }
};

class StationBench {
public:
    TempDir dir;
    // The emulated writer of each port, made before the run so that a test
    // can give it faults, a chip or a rolling-code counter.
    std::map<std::string, std::shared_ptr<emu::WriterEmulator>> writers;
    // Ports whose device is not there: opening them fails.
    std::vector<std::string> absent;

    StationBench() {
        dir.Write("Writer.ini", ReadSource("examples/Writer.ini"));
        dir.Write("demo.rom", ReadSource("examples/demo-rx4400.rom"));
    }
    emu::WriterEmulator& Writer(const std::string& port) {
        auto& w = writers[port];
        if (!w) w = emu::MakeDemoWriter();
        return *w;
    }
    void Fault(const std::string& port, const std::string& rule) {
        std::string error;
        EXPECT_TRUE(Writer(port).AddFault(rule, error)) << rule << ": " << error;
    }

    StationRun Run(const std::vector<std::string>& args, const std::string& answers = "") {
        std::ostringstream out, err;
        std::istringstream in(answers);
        CliEnvironment env{out, err, dir.path()};
        env.in = &in;
        env.writerLine = [this](const std::string& port) {
            WriterLine line;
            auto pacer = std::make_unique<VirtualPacer>();
            emu::WriterEmulator& writer = Writer(port);
            auto opener = std::make_unique<emu::EmulatedPortOpener>(writers[port], *pacer);
            if (std::find(absent.begin(), absent.end(), port) != absent.end()) opener->FailOpen(port);
            line.opener = std::move(opener);
            line.pacer = std::move(pacer);
            line.freshChip = [&writer] { emu::PutInSocket(writer, emu::IcKind::Blank); };
            return line;
        };
        StationRun run;
        run.status = RunCli(args, env);
        run.out = out.str();
        run.err = Lines(err.str());
        if (!std::filesystem::is_regular_file(dir.file("run.csv"))) return run;
        for (std::string line : Lines(dir.Read("run.csv"))) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            run.log.push_back(line);
        }
        return run;
    }
};

}  // namespace otp::test
