// The line's record over TLS: a real PostgreSQL server that takes TLS only,
// with a certificate its own test authority signed (tests/wine/record-server
// ... tls), and the console recording with libpq's verify-full. The Windows
// program's run over TLS is tests/wine/record-run's.
#ifndef _WIN32  // the server and openssl are this machine's programs

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "CliSupport.h"
#include "RecordServerSupport.h"
#include "RomFixture.h"
#include "record/RecordUrl.h"

namespace otp {
namespace {

// `url` with its first `from` put as `to`.
std::string Replaced(std::string url, const std::string& from, const std::string& to) {
    const size_t at = url.find(from);
    if (at != std::string::npos) url.replace(at, from.size(), to);
    return url;
}

class RecordTls : public test::CliInProcessTest {};

// verify-full with the server's authority records; an authority that did
// not sign the server's certificate, a host name it does not name, and no
// TLS at all are refused at the start, naming the server and why.
TEST_F(RecordTls, VerifyFullRecordsAndRefusesAServerItCannotTrust) {
    test::RecordServerProcess server("auto tls");
    ASSERT_TRUE(server.Started());
    const std::string url = server.Url();
    ASSERT_NE(url.find("?sslmode=verify-full&sslrootcert="), std::string::npos) << url;
    const std::string password = url.substr(url.find(':', 13) + 1, url.find('@') - url.find(':', 13) - 1);
    dir.Write("Writer.ini", test::ReadSource("examples/Writer.ini"));
    dir.Write("demo.rom", test::ReadSource("examples/demo-rx4400.rom"));

    const struct {
        const char* name;
        std::string url;
        int status;
        std::string why;  // a piece of the last line after the server's name; empty: the run passes
        int chips;        // the record's chips afterwards
    } rows[] = {
        {"the server's own authority", url, 0, "", 1},
        {"an authority that signed nothing of the server's", Replaced(url, "/tls/ca.crt", "/tls/other-ca.crt"), 1,
         "SSL error: certificate verify failed", 1},
        {"a host name the certificate does not name",
         Replaced(Replaced(url, "@127.0.0.1:", "@wrong.example:"), "?", "?hostaddr=127.0.0.1&"), 1,
         "server certificate for \"127.0.0.1\" (and 1 other name) does not match host name \"wrong.example\"", 1},
        {"no TLS: the server takes none without", url.substr(0, url.find('?')) + "?sslmode=disable", 1,
         "no pg_hba.conf entry for host \"127.0.0.1\", user \"otpwriter\", database \"otprecord\", no encryption", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int status = Run({"--record", row.url, "--station", "tls", "load", "demo.rom", "auto"});
        EXPECT_EQ(status, row.status) << err.str();
        const std::vector<std::string> lines = test::Lines(err.str());
        const std::string last = lines.empty() ? "" : lines.back();
        if (row.why.empty()) {
            EXPECT_EQ(last, "PASS") << err.str();
        } else {
            const std::string named = "FAIL: the record server " + ShownRecordUrl(row.url) + " ";
            EXPECT_EQ(last.substr(0, named.size()), named) << err.str();
            EXPECT_NE(last.find(row.why), std::string::npos) << last;
        }
        EXPECT_EQ(err.str().find(password), std::string::npos) << "the password was shown";
        EXPECT_EQ(server.Query("SELECT count(*) FROM chips"), std::to_string(row.chips));
    }
    // The chip went over TLS, as the server saw it.
    std::ifstream log(server.Folder() + "/server.log");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("application_name=otpwriter SSL enabled (protocol=TLSv1.3"), std::string::npos)
        << text.str();
}

}  // namespace
}  // namespace otp

#endif
