#pragma once
// A throwaway PostgreSQL server for a test (tests/wine/record-server): a
// user and a database of their own, on a unix socket in a temporary folder,
// stopped and removed when the test ends; and psql to look into it.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace otp::test {

// What a shell command printed on stdout, without the last line end.
inline std::string CommandOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
        pclose(pipe);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class RecordServerProcess {
public:
    // `listen`: record-server's own words after the socket's folder ("auto tls": TCP, TLS only).
    explicit RecordServerProcess(const std::string& listen = "") : folder_(MakeTempFolder("otpwriter-pg-")) {
        // Run by root, the server's own user must get through to its folder.
        chmod(folder_.c_str(), 0711);
        url_ = CommandOutput(Script() + " start " + ShellQuoted(folder_ + "/server") + " " +
                             ShellQuoted(folder_ + "/socket") + " " + listen + " 2>" +
                             ShellQuoted(folder_ + "/start.err"));
        if (url_.rfind("postgresql://", 0) != 0)
            ADD_FAILURE() << "the test's record server did not start (is Debian's postgresql installed? scripts/setup "
                             "installs it): "
                          << CommandOutput("cat " + ShellQuoted(folder_ + "/start.err"));
    }
    ~RecordServerProcess() {
        Stop();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    RecordServerProcess(const RecordServerProcess&) = delete;
    RecordServerProcess& operator=(const RecordServerProcess&) = delete;

    const std::string& Url() const { return url_; }
    // The server's folder: server.log, and tls/ with its certificates.
    std::string Folder() const { return folder_ + "/server"; }
    bool Started() const { return !url_.empty(); }

    void Stop() { CommandOutput(Script() + " stop " + ShellQuoted(folder_ + "/server") + " 2>&1"); }
    // Starts the stopped server again, its data as it was.
    void Resume() {
        const std::string bin = CommandOutput("ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1");
        const std::string asServer = geteuid() == 0 ? "runuser -u postgres -- " : "";
        CommandOutput(asServer + bin + "/pg_ctl start -w -t 60 -D " + ShellQuoted(folder_ + "/server/data") + " -l " +
                      ShellQuoted(folder_ + "/server/server.log") + " >/dev/null 2>&1");
    }

    // psql's unaligned answer to `sql`, rows on lines, columns split by '|'.
    std::string Query(const std::string& sql) const {
        return CommandOutput("psql -X -A -t -q " + ShellQuoted(url_) + " -c " + ShellQuoted(sql) + " 2>&1");
    }

private:
    static std::string Script() { return ShellQuoted(SourcePath("tests/wine/record-server")); }

    std::string folder_;
    std::string url_;
};

}  // namespace otp::test
