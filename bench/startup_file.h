// A generated startup file for the benchmarks: autoexec-like lines with CR LF
// line ends, a few percent of them holding a keyword (in varied letter case).
// The same seed always gives the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// One in this many lines holds a keyword: about 3 percent.
constexpr unsigned kKeywordLineEvery = 32;

// At most size bytes (size at least 2), ending with a whole line.
inline std::string MakeStartupFile(std::size_t size) {
    static const char* const kOrdinary[] = {
        "@ECHO OFF",
        "PROMPT $P$G",
        "PATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\DOS;C:\\UTIL",
        "SET TEMP=C:\\WINDOWS\\TEMP",
        "SET BLASTER=A220 I5 D1 H5 P330 T6",
        "LH C:\\DOS\\MOUSE.COM /Y",
        "LH /L:0;1,45456 /S C:\\DOS\\DOSKEY.COM /INSERT",
        "MODE CON CODEPAGE PREPARE=((850) C:\\WINDOWS\\COMMAND\\EGA.CPI)",
        "MODE CON CODEPAGE SELECT=850",
        "KEYB GR,,C:\\WINDOWS\\COMMAND\\KEYBOARD.SYS",
        "REM * the sound card settings above are the vendor's",
        "rem Network drivers follow",
        "C:\\NET\\NET START",
        "IF EXIST C:\\SCAN\\SCAN.EXE C:\\SCAN\\SCAN.EXE C: /NOMEM /SUB",
        "ECHO Welcome to the office network",
        "CALL C:\\BATCH\\LOGIN.BAT %USERNAME%",
        "copy c:\\config.sys c:\\backup\\config.bak > nul",
        "",
    };
    static const char* const kDropped[] = {
        "REM ** Quorvane desktop protection - do not edit below this line **",
        "del C:\\QUORVANE\\*.TMP",
        "C:\\VAZEVAV\\VAZEVAV.EXE /BOOT",
        "regedit /s C:\\Quorvane\\RUN.REG",
        "@attrib +h +r C:\\QRVDSK\\QRVDSK.SYS",
        "DelTree /y C:\\QVTEMP",
        "md C:\\QVTEMP",
        "LH C:\\DOS\\SMARTDRV.EXE /X",
        "@copy C:\\QUORVANE\\BOOT.BAK C:\\QUORVANE\\BOOT.DAT",
    };
    constexpr std::size_t kOrdinaryCount = sizeof kOrdinary / sizeof kOrdinary[0];
    constexpr std::size_t kDroppedCount = sizeof kDropped / sizeof kDropped[0];

    std::string file;
    file.reserve(size + 128);
    std::uint32_t state = 12345;
    const auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    while (file.size() < size) {
        const std::uint32_t pick = next();
        if (pick % kKeywordLineEvery == 0) {
            file += kDropped[(pick / kKeywordLineEvery) % kDroppedCount];
        } else {
            file += kOrdinary[(pick / kKeywordLineEvery) % kOrdinaryCount];
            // Lines of varied length, as hand-edited files have.
            const std::uint32_t extra = next() % 48;
            if (extra > 24) file.append(" REM " + std::string(extra - 24, 'x'));
        }
        file += "\r\n";
    }
    // Whole lines only, so that every tool sees the same last line.
    file.resize(file.rfind("\r\n", size - 2) + 2);
    return file;
}

}  // namespace bench
