#pragma once
// Production logs of known contents for the report's tests, and the report
// run through the console front end in a time zone of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/CliRunner.h"

namespace otp::test {

// Today's columns: two stations (the run's host), a writer and a lot each,
// a rolling code given twice, a refused chip, a writer that did not answer,
// fields quoted for their commas.
inline const char kTodaysLog[] =
    "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,waits,writer,lot,operator\r\n"
    "2026-12-08T10:05:00+01:00,auto,RX4400,/l/a.rom,FE5A,0100 0200,pass,,512,1,line-pc-3 2026-12-08T10:00:00+01:00,"
    "fast,COM1,L7,ann\r\n"
    "2026-12-08T10:20:00+01:00,auto,RX4400,/l/a.rom,FE5A,0101 0200,fail,\"OTP Verify Fail !!! (the writer answered "
    "3000 bytes, too many)\",512,2,line-pc-3 2026-12-08T10:00:00+01:00,fast,COM1,L7,ann\r\n"
    "2026-12-08T10:40:00+01:00,auto,\"RX4720, rev B\",/l/b.rom,11AA,,refused,The body is not available !!!,3,3,"
    "line-pc-3 2026-12-08T10:00:00+01:00,fast,COM1,L7,ann\r\n"
    "2026-12-08T11:10:00+01:00,auto,RX4400,/l/a.rom,FE5A,0100 0200,fail,\"rolling code 0100 0200 was given before, "
    "to chip 1 of COM1 (2026-12-08T10:05:00+01:00): no two chips may have one\",512,1,line-pc-4 "
    "2026-12-08T11:00:00+01:00,fixed,COM2,L8,bo\r\n"
    "2026-12-08T11:30:00+01:00,auto,RX4400,/l/a.rom,FE5A,0102 0200,pass,,512,2,line-pc-4 2026-12-08T11:00:00+01:00,"
    "fixed,COM2,L8,bo\r\n"
    "2026-12-08T11:45:00+01:00,blank,RX4400,,,,no writer,COM2 Connect Error (1)!!!,0,3,line-pc-4 "
    "2026-12-08T11:00:00+01:00,fixed,COM2,L8,bo\r\n";

// The first version's ten columns, written five hours behind UTC: no run,
// no writer; the code of today's first chip once more; an hour of refused
// chips only.
inline const char kOldLog[] =
    "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip\n"
    "2026-12-07T23:50:00-05:00,auto,RX4400,a.rom,FE5A,0100 0200,pass,,480,7\n"
    "2026-12-07T23:55:00-05:00,verify,RX4400,a.rom,FE5A,,fail,OTP Verify Fail !!!,300,8\n"
    "2026-12-08T02:10:00-05:00,auto,RX4400,,,,refused,The body is not available !!!,1,9\n";

inline const char kHeaderOnly[] =
    "time,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,waits,writer,lot,operator\n";

// The console front end in a folder of its own, local time UTC.
class ReportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz) savedZone_ = tz;
        hadZone_ = tz != nullptr;
        SetTimeZone("UTC0");
    }
    void TearDown() override { SetTimeZone(hadZone_ ? savedZone_.c_str() : nullptr); }

    int Run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        CliEnvironment env{out, err, dir.path()};
        return RunCli(args, env);
    }

    TempDir dir;
    std::ostringstream out, err;

private:
    std::string savedZone_;
    bool hadZone_ = false;
};

}  // namespace otp::test
