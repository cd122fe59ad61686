// Cleaning of the boot-time startup file: the bytes of the file in, the bytes
// to write back out. The file is read as text in pieces of at most
// kStartupPieceMax bytes (a line, or a part of a longer one); every piece that
// holds one of kDropKeywords, in any letter case, is dropped; the others are
// written back in their own letter case, each ending in CR LF.
#pragma once

#include <cstddef>

inline constexpr char kStartupFilePath[] = "C:\\Autoexec.bat";

// The longest piece one line read yields, line end included. A longer line is
// read as several pieces, each searched, dropped or written by itself.
inline constexpr std::size_t kStartupPieceMax = 254;

inline constexpr std::size_t kDropKeywordCount = 11;

// Searched in this order; the first one found drops the piece. Upper case:
// a piece is upper-cased (a-z only) before the search.
inline constexpr const char* kDropKeywords[kDropKeywordCount] = {
    "REM **",  "DEL C:\\", "VAZEVAV", "QUORVANE", "REGEDIT", "QRVDSK",
    "DELTREE", "MD C:\\",  "SMARTDRV", "@ATTRIB", "@COPY",
};

// A heap block of bytes that grows on demand (malloc and realloc, so a failed
// allocation is a result, never an exception). Starts zeroed, ends with
// ReleaseStartupBuffer.
struct StartupBuffer {
    unsigned char* bytes;
    std::size_t size;      // bytes in use
    std::size_t capacity;  // bytes allocated
};

// Makes room for at least capacity bytes in all; false when it cannot, the
// buffer left as it was.
bool ReserveStartupBuffer(StartupBuffer* buffer, std::size_t capacity);
void ReleaseStartupBuffer(StartupBuffer* buffer);

// A piece that a keyword dropped.
struct DroppedPiece {
    std::size_t line;            // the file's line the piece lies on, from 1
    std::size_t keyword;         // index in kDropKeywords
    const unsigned char* text;   // the piece as read, up to its line end or first zero byte
    std::size_t length;
};

using DroppedPieceFn = void (*)(const DroppedPiece& piece, void* context);

// One file's cleaning as it goes, for a file passed in parts. Starts zeroed,
// with onDropped and context set when the dropped pieces are wanted.
struct StartupCleaner {
    DroppedPieceFn onDropped;  // called for each dropped piece, in file order
    void* context;
    std::size_t linesEnded;    // line ends read so far
    bool ended;                // a Ctrl-Z has ended the text: the rest is ignored
};

// Reading: the text ends before the first Ctrl-Z, and a CR directly followed
// by an LF reads as the LF. A piece ends after its first LF or after
// kStartupPieceMax bytes; its text ends at its first zero byte, and it gains
// an LF when it has none. Writing: every LF goes out as CR LF.
//
// Cleans the pieces at the start of bytes and appends their written form to
// out, growing it as needed; *used tells how many bytes were taken. Unless
// atEnd, a last piece that the bytes after these could still change (fewer
// than kStartupPieceMax + 1 bytes and no LF) is left for the next call, which
// must pass it again followed by the rest of the file. False only when out
// cannot grow; what it holds then must not be written.
bool CleanStartupPart(StartupCleaner* cleaner, const unsigned char* bytes, std::size_t size, bool atEnd,
                      StartupBuffer* out, std::size_t* used);

// The whole file at once: CleanStartupPart with a fresh cleaner, at the end.
bool CleanStartupText(const unsigned char* file, std::size_t size, StartupBuffer* out,
                      DroppedPieceFn onDropped, void* context);
