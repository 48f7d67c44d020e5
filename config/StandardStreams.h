#pragma once
// Descriptors 0, 1 and 2 belong to standard input, output and error. A
// program started with one of them closed would hand it to the next file it
// opens, the serial port say, and then write its own text to the writer.
namespace otp {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is not open; the
// first thing a program does. False when one could not be opened. Nothing to
// do on Windows, where a port or file is a handle of its own.
bool OpenStandardStreams();

}  // namespace otp
