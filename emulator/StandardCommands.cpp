// The command table of the writer. A new command is a WriterCommand in its
// own file, a maker declared in Commands.h, and one line here.
#include "emulator/Commands.h"

namespace otp::emu {

void InstallStandardCommands(WriterEmulator& writer) {
    writer.SetCommand(0x57, MakeBlockRead);      // 'W'
    writer.SetCommand(0x75, MakeBodyInfoWrite);  // 'u'
    writer.SetCommand(0x77, MakeOptionWrite);    // 'w'
    writer.SetCommand(0x6D, MakeImageStream);    // 'm'
    writer.SetCommand(0x6F, MakeFirmwareUpdate);  // 'o'
    writer.SetCommand(0x63, MakeBlankCheck);      // 'c'
    writer.SetCommand(0x65, MakeProgram);         // 'e'
    writer.SetCommand(0x67, MakeVerify);          // 'g'
    writer.SetCommand(0x69, MakeReadOtp);         // 'i'
    writer.SetCommand(0x6B, MakeCopy);            // 'k'
    writer.SetCommand(0x55, MakeBankSearch);      // 'U'
    writer.SetCommand(0x51, MakeTestCodeRead);    // 'Q'
    writer.SetCommand(0x53, MakeTestCodeWrite);   // 'S'
}

}  // namespace otp::emu
