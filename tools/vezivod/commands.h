// The offline tool's commands. Each takes the arguments after its name and
// returns the process exit code: 0 on success, 2 for bad usage or refused
// input (after one line on stderr).
#pragma once

#include <cstdio>

namespace vezivod {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// Prints "vezivod: MESSAGE" on one line to stderr and returns kExitUsage.
int Fail(const char* message);

// Reads a password argument: "-" reads the first line of standard input
// (without its line end) into buffer; anything else is copied. False when the
// text does not fit or cannot be read.
bool ReadPasswordArg(const char* arg, char* buffer, std::size_t size);

// Decodes hex text into at most size bytes; false for an odd number of
// digits, a character that is not a hex digit, or too many bytes.
bool DecodeHex(const char* text, unsigned char* bytes, std::size_t size, std::size_t* length);

int CmdEncrypt(int argc, char** argv);
int CmdEncryptData(int argc, char** argv);
int CmdDecrypt(int argc, char** argv);
int CmdDes(int argc, char** argv);
int CmdCleanStartup(int argc, char** argv);
int CmdScramble(int argc, char** argv);
int CmdVerify(int argc, char** argv);

}  // namespace vezivod
