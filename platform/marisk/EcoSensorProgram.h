#pragma once

// The ECO sensor program: reads the sensor's sample lines and writes each complete
// line on standard output, flushed, as it arrives.
//
//   argv[1]  the source: a serial device (opened at 19200 bit/s, 8 data bits, no
//            parity, one stop bit, no flow control) or a file read as it stands
//   argv[2]  optional: stop after this many samples (a positive decimal number)
//
// Returns 0 at the end of input or once the requested number of samples is written,
// 2 after a usage line on standard error when the arguments are wrong, and 1 after a
// one-line reason on standard error when the source cannot be opened or read.
// argv[0] names the program in those lines.
extern "C" __attribute__((visibility("default"))) int EcoSensorProgram(int argc, char** argv);
