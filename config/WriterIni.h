#pragma once
// The reader of Writer.ini: port, expected writer version, firmware path and
// the table of IC bodies.
#include <optional>
#include <string>
#include <vector>

#include "config/PathLookup.h"
#include "config/TextLines.h"
#include "config/WriterState.h"
#include "view/MainView.h"

namespace otp {

inline constexpr const char* kIniFileName = "Writer.ini";
inline constexpr int kMaxInfoBytes = 32;
// The ports the program knows; OTPWRITER_COMn can lead one to another device.
inline constexpr const char* kKnownPorts = "COM1 to COM4";
bool IsKnownPortName(const std::string& name);
// The ports a station may name (--writers): USB adapters get high numbers
// on Windows. Writer.ini's RS232_PORT keeps to the known four.
inline constexpr const char* kStationPorts = "COM1 to COM256";
bool IsStationPortName(const std::string& name);
// Empty when `list` names a station's ports (--writers: COM1..COM256,
// comma-separated, each once), which go to `ports`; else the complaint.
std::string ParseStationPorts(const std::string& list, std::vector<std::string>& ports,
                              const std::string& where = "--writers");

// Sets IniPath from the working directory, reads the file and fills the state,
// ComboBox1, Edit3 and the caption. Returns false when the file cannot be read;
// the state then holds an empty body table, and `error` tells why, or is
// empty when there is no such file. When no port comes out of it, PortProblem
// says why.
bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir, std::string& error);
bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir);
// Writer.ini as read from the disk once, so that the writers of a station
// all start from the same file.
struct IniFile {
    std::string path;
    std::optional<TextLines> lines;  // nothing when it could not be read
    std::string error;               // why not; empty when there is no such file
};
IniFile LoadWriterIni(const std::string& workingDir);
// ReadWriterIni over a file read before.
bool ReadWriterIni(WriterState& state, MainView& view, const std::string& workingDir, const IniFile& file);
// How the file the WRITER_DRIVER line names is looked up on the disk.
using PathFinder = std::string (*)(const std::string& path);
// The same reader over `lines` already read (from the file, or from memory
// when fuzzing): fills the state and the view, and PortProblem. The driver's
// path is looked up with `findPath`; a fuzz target keeps to memory with one
// that leaves the path as it is.
void ReadWriterIniLines(WriterState& state, MainView& view, const std::string& workingDir, TextLines& lines,
                        PathFinder findPath = FindCaseInsensitive);

// The Writer.ini of a working directory (found in any letter case).
std::string IniPathFor(const std::string& workingDir);

}  // namespace otp
