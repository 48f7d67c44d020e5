#pragma once
// Runs the ROM file operations against the in-process emulated writer, after
// the start-up a real run makes.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "OperationFixture.h"
#include "operations/Startup.h"

namespace otp::test {

inline std::string ReadSource(const std::string& relative) {
    std::ifstream in(SourcePath(relative), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class RomOperationTest : public OperationTest {
protected:
    // Writer.ini, the start-up against the factory writer, then a clean record.
    void StartWith(const std::string& ini) {
        MakeSession(ini);
        RunStartup(ctx());
        ClearRecords();
    }

    static std::string GoldenIni() { return ReadSource("tests/golden/Writer.ini"); }
    static std::string Golden(const std::string& name) { return ReadSource("tests/golden/" + name); }

    // The body with combo index k becomes the selected one and the writer's.
    void SelectBody(int k) {
        state().BodyInfo[0] = state().BodyInfo[static_cast<size_t>(k + 1)];
        view.SetSelection(Control::ComboBox1, k);
    }

    void SetOptionBytes(std::initializer_list<int> bytes) {
        size_t i = 0;
        for (int b : bytes) state().OptionBytes[i++] = static_cast<uint8_t>(b);
    }

    // The lines traced since the last ClearRecords that start with `prefix`.
    std::vector<std::string> TraceOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& t : trace)
            if (t.rfind(prefix, 0) == 0) out.push_back(t);
        return out;
    }

    // Sent bytes from the first occurrence of `command`, `count` of them.
    std::vector<uint8_t> SentAfter(uint8_t command, size_t count, size_t occurrence = 0) const {
        const std::vector<uint8_t> all = SentBytes();
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i] != command) continue;
            if (occurrence-- > 0) continue;
            return std::vector<uint8_t>(all.begin() + static_cast<long>(i),
                                        all.begin() + static_cast<long>(std::min(all.size(), i + count)));
        }
        return {};
    }
};

}  // namespace otp::test
