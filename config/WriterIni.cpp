#include "config/WriterIni.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "config/IniText.h"
#include "config/PathLookup.h"
#include "config/TextLines.h"

namespace otp {
namespace {

class IniReader {
public:
    IniReader(WriterState& s, MainView& v, std::string dir, PathFinder findPath)
        : s_(s), view_(v), dir_(std::move(dir)), findPath_(findPath) {}

    void Handle(std::string_view line) {
        const IniFields f = SplitIniLine(line, 0xFF);
        const std::string& key = f.KeyField;
        if (!key.empty()) hasSettings_ = true;
        if (key == "VERSION") {
            s_.IniVersion = f.ValueField;
            view_.SetCaption("Morvik OTP Writer " + f.ThirdField + " (" + f.ValueField + ")");
        } else if (key == "RS232_PORT") {
            if (IsKnownPortName(f.ValueField)) {
                s_.PortName = f.ValueField;
                view_.SetFieldText(Control::Edit3, s_.PortName);
            } else {
                refusedPort_ = f.ValueField;
            }
        } else if (key == "WRITER_DRIVER") {
            // A value "..\X" names X in the working directory itself.
            std::string path = f.ValueField.rfind("..", 0) == 0 ? dir_ + f.ValueField.substr(2) : f.ValueField;
            s_.DriverPath = findPath_(ToPosixSeparators(path));
        } else if (key == "PRODUCTION_LOG") {
            // A file name keeps its letter case; blanks inside it stay single.
            const IniFields raw = SplitIniLine(line, 0xFF & ~(kUpperValue | kUpperThird | kUpperFourth));
            std::string path = raw.ValueField;
            for (const std::string* more : {&raw.ThirdField, &raw.FourthField})
                if (!more->empty()) path += " " + *more;
            s_.ProductionLogPath = path;
        } else if (key == "PRODUCTION_RECORD") {
            // A URL keeps its letter case and its "//"; a comment after it is
            // a word of its own.
            s_.ProductionRecordUrl =
                SplitIniLine(line, kCutSemicolon | kTrimLeading | kTrimTrailing | kUpperKey).ValueField;
        } else if (key == "STATION_WRITERS") {
            // "COM1, COM2" as "COM1,COM2"; a comment is no port.
            s_.StationWriters.clear();
            for (const char c : f.ValueField + f.ThirdField + f.FourthField)
                if (c != ' ') s_.StationWriters += c;
        } else if (inBodySection_ && HandleBodyKey(f)) {
            // handled
        } else if (key == "IC_BODY_START") {
            inBodySection_ = true;
            s_.BodyCount = 0;
            body_ = -1;
        } else if (key == "IC_BODY_END") {
            view_.SetDropDownCount(Control::ComboBox1, s_.BodyCount);
            view_.SetSelection(Control::ComboBox1, 0);
            inBodySection_ = false;
        }
    }

    // Why no port came out of the file, or "" when one did.
    std::string PortProblem() const {
        const std::string ini = kIniFileName;
        if (!s_.PortName.empty()) return {};
        if (!hasSettings_)
            return ini + " in " + dir_ + " is empty (no settings): name the writer's port in it, RS232_PORT " +
                   kKnownPorts + " !!!";
        if (!refusedPort_)
            return ini + " in " + dir_ + " has no RS232_PORT line: add one naming the writer's port, " + kKnownPorts +
                   " !!!";
        const std::string what = refusedPort_->empty() ? "RS232_PORT in " + ini + " names no port"
                                                       : "RS232_PORT " + *refusedPort_ + " in " + ini +
                                                             " is not a port of this program";
        return what + ": name the writer's port as one of " + kKnownPorts +
               " (OTPWRITER_COMn can lead one of them to another device) !!!";
    }

private:
    bool HandleBodyKey(const IniFields& f) {
        const std::string& key = f.KeyField;
        if (key == "BODY") {
            // Bodies beyond the table, and their keys, are ignored.
            if (s_.BodyCount >= kMaxBodies) {
                body_ = -1;
                return true;
            }
            ++s_.BodyCount;
            body_ = s_.BodyCount - 1;
            s_.BodyInfo[static_cast<size_t>(body_ + 1)] = BodyInfoRow{};
            s_.BodyName[static_cast<size_t>(body_)] = f.ValueField;
            s_.InfoCount[static_cast<size_t>(body_)] = 0;
            view_.AddChoice(Control::ComboBox1, f.ValueField);
            infoIndex_ = 0;
            return true;
        }
        struct Table { std::string_view key; std::array<int32_t, kMaxBodies>* values; };
        const Table tables[] = {{"BNK_DLY", &s_.BNK_DLY}, {"PRG_DLY", &s_.PRG_DLY}, {"VER_DLY", &s_.VER_DLY},
                                {"CPY_DLY", &s_.CPY_DLY}, {"OBJ_DLY", &s_.OBJ_DLY}, {"OFFSET", &s_.OFFSET}};
        for (const Table& t : tables) {
            if (key != t.key) continue;
            if (body_ >= 0) (*t.values)[static_cast<size_t>(body_)] = ParseNumber(f.ValueField, 10);
            return true;
        }
        if (key == "INFO" || key == "+") {
            if (body_ >= 0) StoreInfoList(f.ValueField);
            return true;
        }
        return false;
    }

    void StoreInfoList(std::string_view list) {
        BodyInfoRow& row = s_.BodyInfo[static_cast<size_t>(body_ + 1)];
        size_t start = 0;
        while (start < list.size()) {
            const size_t comma = list.find(',', start);
            const std::string_view element = list.substr(start, comma == std::string_view::npos ? comma : comma - start);
            if (infoIndex_ < kMaxInfoBytes)
                row[static_cast<size_t>(infoIndex_)] = static_cast<uint8_t>(ParseNumber(element, 10) & 0xFF);
            ++infoIndex_;
            ++s_.InfoCount[static_cast<size_t>(body_)];
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    }

    WriterState& s_;
    MainView& view_;
    std::string dir_;
    PathFinder findPath_;
    bool inBodySection_ = false;
    int body_ = -1;  // combo index of the body the keys belong to, -1 for none
    int infoIndex_ = 0;
    bool hasSettings_ = false;
    std::optional<std::string> refusedPort_;  // the last RS232_PORT value that is no known port
};

}  // namespace

bool IsKnownPortName(const std::string& name) {
    return name == "COM1" || name == "COM2" || name == "COM3" || name == "COM4";
}

bool IsStationPortName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 || name[3] == '0') return false;
    if (name.find_first_not_of("0123456789", 3) != std::string::npos) return false;
    return std::stoi(name.substr(3)) <= 256;
}

std::string ParseStationPorts(const std::string& list, std::vector<std::string>& ports, const std::string& where) {
    ports.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!IsStationPortName(name))
            return where + " takes ports " + std::string(kStationPorts) + " separated by commas, not '" + name + "'";
        for (const std::string& known : ports)
            if (known == name) return where + " names " + name + " twice";
        ports.push_back(name);
        if (comma == std::string::npos) return {};
        start = comma + 1;
    }
}

std::string IniPathFor(const std::string& workingDir) {
    return FindCaseInsensitive(workingDir + "/" + kIniFileName);
}

IniFile LoadWriterIni(const std::string& workingDir) {
    IniFile file;
    file.path = IniPathFor(workingDir);
    file.lines = TextLines::Open(file.path, file.error);
    if (!file.lines) {
        // A missing file is told apart from one that is there but unreadable.
        std::error_code ec;
        static_cast<void>(std::filesystem::symlink_status(FsPath(file.path), ec));
        if (ec == std::errc::no_such_file_or_directory) file.error.clear();
    }
    return file;
}

bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir, const IniFile& file) {
    state.IniPath = file.path;
    if (!file.lines) {
        const std::string ini = kIniFileName;
        state.PortProblem = file.error.empty() ? ini + " not found in the working directory " + workingDir + " !!!"
                                               : ini + " in " + workingDir + " can not be read (" + file.error + ") !!!";
        return false;
    }
    TextLines lines = *file.lines;
    ReadWriterIniLines(state, view, workingDir, lines);
    return true;
}

bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir, std::string& error) {
    const IniFile file = LoadWriterIni(workingDir);
    error = file.error;
    return ReadWriterIni(state, view, workingDir, file);
}

void ReadWriterIniLines(WriterState& state, MainView& view, const std::string& workingDir, TextLines& lines,
                        PathFinder findPath) {
    IniReader reader(state, view, workingDir, findPath);
    while (auto line = lines.Next()) reader.Handle(*line);
    state.PortProblem = reader.PortProblem();
}

bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir) {
    std::string error;
    return ReadWriterIni(state, view, workingDir, error);
}

}  // namespace otp
