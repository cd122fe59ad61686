#include "cleanup/startup_clean.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

struct Dropped {
    std::size_t line;
    std::size_t keyword;
    std::string text;
};

void Collect(const DroppedPiece& piece, void* context) {
    static_cast<std::vector<Dropped>*>(context)->push_back(
        {piece.line, piece.keyword, std::string(reinterpret_cast<const char*>(piece.text), piece.length)});
}

std::string Clean(const std::string& file, std::vector<Dropped>* dropped = nullptr) {
    StartupBuffer out{};
    const bool done = CleanStartupText(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &out,
                                       dropped != nullptr ? Collect : nullptr, dropped);
    EXPECT_TRUE(done);
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Shows control bytes and bytes above 0x7F so that a mismatch is readable.
std::string Visible(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 15];
        }
    }
    return shown;
}

// A literal's bytes, zero bytes included.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

const std::string k254(254, 'a');

struct Case {
    const char* name;
    std::string file;
    std::string written;
};

// clang-format off
const Case kCases[] = {
    {"empty file", "", ""},
    {"ordinary lines kept", "@ECHO OFF\r\nPATH C:\\DOS\r\n", "@ECHO OFF\r\nPATH C:\\DOS\r\n"},
    {"empty line kept", "\r\n\r\nx\r\n", "\r\n\r\nx\r\n"},
    {"only dropped lines", "REM ** Quorvane\r\ndeltree /y c:\\qv\r\n@copy a b", ""},

    {"REM, one blank, one asterisk", "REM * note\r\n", "REM * note\r\n"},
    {"REM, two blanks, two asterisks", "REM  ** note\r\n", "REM  ** note\r\n"},
    {"DEL C: without backslash", "DEL C:X\r\n", "DEL C:X\r\n"},
    {"DEL on drive D", "DEL D:\\X\r\n", "DEL D:\\X\r\n"},
    {"MD on drive D", "MD D:\\X\r\n", "MD D:\\X\r\n"},
    {"tab instead of blank", "DEL\tC:\\X\r\nMD\tC:\\\r\n", "DEL\tC:\\X\r\nMD\tC:\\\r\n"},
    {"keywords one letter short",
     "VAZEVA QUORVAN REGEDI QRVDS DELTRE SMARTDR @ATTRI @COP\r\n",
     "VAZEVA QUORVAN REGEDI QRVDS DELTRE SMARTDR @ATTRI @COP\r\n"},
    {"backquote is not an at sign", "`ATTRIB `COPY `attrib\r\n", "`ATTRIB `COPY `attrib\r\n"},
    {"accented letter in a keyword", "REGED\xCDT DELTR\xC9" "E\r\n", "REGED\xCDT DELTR\xC9" "E\r\n"},

    {"lower and mixed case dropped, survivor keeps its case",
     "deltree x\r\nEcho Hello\r\nRegedit /s a\r\nsMaRtDrV\r\n", "Echo Hello\r\n"},
    {"keyword inside a path", "LH C:\\DOS\\SMARTDRV.EXE\r\nok\r\n", "ok\r\n"},
    {"keyword inside a longer word", "CMD C:\\WIN\r\nXQRVDSKX\r\nok\r\n", "ok\r\n"},

    {"LF-only line ends", "a\nb\n", "a\r\nb\r\n"},
    {"lone CR stays", "a\rb\r\n", "a\rb\r\n"},
    {"CR CR LF", "a\r\r\n", "a\r\r\n"},
    {"CR at the end of the file", "a\r", "a\r\r\n"},
    {"last line without line end", "a\r\nb", "a\r\nb\r\n"},

    {"Ctrl-Z at the end", "a\r\nb\r\n\x1A", "a\r\nb\r\n"},
    {"Ctrl-Z in the middle", "a\r\nb\x1A" "c\r\nd\r\n", "a\r\nb\r\n"},
    {"Ctrl-Z first", "\x1A" "a\r\n", ""},
    {"CR before Ctrl-Z is a lone CR", "a\r\x1A\n", "a\r\r\n"},
    {"keyword behind Ctrl-Z is never read", "ok\x1A" "DELTREE\r\n", "ok\r\n"},

    {"zero byte cuts its piece", Bytes("ab\0cd\r\nef\r\n"), "ab\r\nef\r\n"},
    {"piece beginning with a zero byte", Bytes("\0abc\r\nx\r\n"), "\r\nx\r\n"},
    {"keyword behind a zero byte is lost", Bytes("echo\0DELTREE\r\n"), "echo\r\n"},
    {"zero byte in a long line cuts one piece", std::string(250, 'a') + Bytes("\0bbb") + "cc\r\n",
     std::string(250, 'a') + "\r\ncc\r\n"},

    {"line of 253 bytes stays whole", std::string(253, 'a') + "\r\n", std::string(253, 'a') + "\r\n"},
    {"line of 254 bytes gains an empty line", k254 + "\r\n", k254 + "\r\n\r\n"},
    {"line of 254 bytes, LF only", k254 + "\n", k254 + "\r\n\r\n"},
    {"line of 254 bytes without line end", k254, k254 + "\r\n"},
    {"line of 300 bytes becomes two", std::string(300, 'a') + "\r\n",
     k254 + "\r\n" + std::string(46, 'a') + "\r\n"},
    {"line of 508 bytes", k254 + k254 + "\r\n", k254 + "\r\n" + k254 + "\r\n\r\n"},
    {"CR LF right after 253 bytes is one LF", std::string(253, 'a') + "\r\nb\r\n",
     std::string(253, 'a') + "\r\nb\r\n"},
    {"CR as byte 254 before a non-LF", std::string(253, 'a') + "\rb\r\n",
     std::string(253, 'a') + "\r\r\nb\r\n"},
    {"keyword drops only its own piece", k254 + "deltree\r\nok\r\n", k254 + "\r\nok\r\n"},
    {"keyword straddling a break is not found", std::string(250, 'a') + "DELTREE\r\n",
     std::string(250, 'a') + "DELT\r\nREE\r\n"},

    {"bytes above 0x7F written as read", "\xE9" "cho \xFF\xE0\x80\r\n", "\xE9" "cho \xFF\xE0\x80\r\n"},
    {"keyword among bytes above 0x7F", "\xE4" "deltree\xFC\r\nok\r\n", "ok\r\n"},
};
// clang-format on

TEST(StartupClean, WritesWhatSurvives) {
    for (const Case& c : kCases) {
        EXPECT_EQ(Visible(Clean(c.file)), Visible(c.written)) << c.name;
    }
}

TEST(StartupClean, EachKeywordDropsItsLineInAnyCase) {
    for (std::size_t k = 0; k < kDropKeywordCount; ++k) {
        const std::string keyword = kDropKeywords[k];
        for (const std::string& form : {keyword, Lower(keyword)}) {
            std::vector<Dropped> dropped;
            EXPECT_EQ(Clean("before\r\nx " + form + " y\r\n" + form + "\r\nafter", &dropped),
                      "before\r\nafter\r\n")
                << form;
            ASSERT_EQ(dropped.size(), 2u) << form;
            EXPECT_EQ(dropped[0].keyword, k) << form;
            EXPECT_EQ(dropped[0].line, 2u) << form;
            EXPECT_EQ(dropped[0].text, "x " + form + " y");
            EXPECT_EQ(dropped[1].line, 3u) << form;
        }
    }
}

TEST(StartupClean, ReportsTheFirstKeywordOfTheTableAndTheFileLine) {
    std::vector<Dropped> dropped;
    const std::string file = "keep\n@copy a & rem ** b\r\n" + k254 + "x Quorvane\r\nlast deltree";
    Clean(file, &dropped);
    ASSERT_EQ(dropped.size(), 3u);
    EXPECT_EQ(dropped[0].line, 2u);
    EXPECT_STREQ(kDropKeywords[dropped[0].keyword], "REM **");  // table order, not place in the line
    EXPECT_EQ(dropped[0].text, "@copy a & rem ** b");
    EXPECT_EQ(dropped[1].line, 3u);  // the second piece of line 3
    EXPECT_STREQ(kDropKeywords[dropped[1].keyword], "QUORVANE");
    EXPECT_EQ(dropped[1].text, "x Quorvane");
    EXPECT_EQ(dropped[2].line, 4u);
    EXPECT_EQ(dropped[2].text, "last deltree");
}

TEST(StartupClean, AppendsToWhatTheBufferHolds) {
    StartupBuffer out{};
    const std::string first = "a\n";
    const std::string second = "b\n";
    ASSERT_TRUE(CleanStartupText(reinterpret_cast<const unsigned char*>(first.data()), first.size(), &out,
                                 nullptr, nullptr));
    ASSERT_TRUE(CleanStartupText(reinterpret_cast<const unsigned char*>(second.data()), second.size(), &out,
                                 nullptr, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.bytes), out.size), "a\r\nb\r\n");
    ReleaseStartupBuffer(&out);
}

TEST(StartupClean, GrowsPastAnyFirstGuess) {
    // LF-only empty lines double in size: far more than a CR LF file needs.
    const std::string file(100000, '\n');
    std::string written;
    for (int i = 0; i < 100000; ++i) written += "\r\n";
    EXPECT_EQ(Clean(file), written);
}

// The cleaning step by step, as the file is read as text: translate the whole
// file, cut it into pieces, and search an upper-cased copy of each.
std::string CleanStepByStep(const std::string& file) {
    std::string text;
    for (std::size_t i = 0; i < file.size() && file[i] != '\x1A'; ++i) {
        const bool pairEnd = file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n';
        if (!pairEnd) text += file[i];
    }
    std::string written;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        while (length < kStartupPieceMax && at + length < text.size()) {
            if (text[at + length++] == '\n') break;
        }
        std::string piece = text.substr(at, length);
        at += length;
        piece = piece.substr(0, piece.find('\0'));
        if (piece.empty() || piece.back() != '\n') piece += '\n';
        std::string upper = piece;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        bool drop = false;
        for (const char* keyword : kDropKeywords) drop = drop || upper.find(keyword) != std::string::npos;
        if (drop) continue;
        piece.pop_back();
        written += piece + "\r\n";
    }
    return written;
}

// Cleans a file passed in two calls, split at a given place.
std::string CleanInTwo(const std::string& file, std::size_t split) {
    StartupCleaner cleaner{};
    StartupBuffer out{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    std::size_t used = 0;
    EXPECT_TRUE(CleanStartupPart(&cleaner, bytes, split, false, &out, &used));
    std::string rest = file.substr(used);
    EXPECT_TRUE(CleanStartupPart(&cleaner, reinterpret_cast<const unsigned char*>(rest.data()), rest.size(), true,
                                 &out, &used));
    EXPECT_EQ(used, rest.size());
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

TEST(StartupClean, PassedInTwoPartsAtAnyPlaceGivesTheSameText) {
    for (const Case& c : kCases) {
        for (std::size_t split = 0; split <= c.file.size(); ++split) {
            ASSERT_EQ(Visible(CleanInTwo(c.file, split)), Visible(c.written)) << c.name << ", split at " << split;
        }
    }
}

// The same file passed in parts of random sizes, as the tool reads it: the
// bytes a call leaves are passed again with the next part.
std::string CleanInParts(const std::string& file, std::mt19937& random, std::vector<Dropped>* dropped) {
    StartupCleaner cleaner{Collect, dropped, 0, false};
    StartupBuffer out{};
    std::string pending;
    for (std::size_t at = 0;;) {
        const std::size_t take = std::min<std::size_t>(random() % 400, file.size() - at);
        pending.append(file, at, take);
        at += take;
        const bool atEnd = at == file.size();
        std::size_t used = 0;
        EXPECT_TRUE(CleanStartupPart(&cleaner, reinterpret_cast<const unsigned char*>(pending.data()),
                                     pending.size(), atEnd, &out, &used));
        pending.erase(0, used);
        if (atEnd) break;
    }
    EXPECT_EQ(pending, "");
    std::string text(reinterpret_cast<const char*>(out.bytes), out.size);
    ReleaseStartupBuffer(&out);
    return text;
}

TEST(StartupClean, RandomFilesMatchTheStepByStepReadingWholeOrInParts) {
    // Files built from keyword parts, line ends, zero bytes, Ctrl-Z and long
    // runs, so that breaks, pairs and matches meet at every position.
    const std::vector<std::string> parts = {
        "REM **", "rem *", "DEL C:\\", "del c:", "VAZEVAV", "quorvane", "QUORVAN", "regedit", "QRVDSK", "deltree",
        "md c:\\", "MD C", "smartdrv", "@attrib", "@COPY", "`copy", "\r\n", "\n", "\r", std::string(1, '\0'),
        "\x1A", "\xE9\xFF", " ", "x", std::string(97, 'z'), std::string(250, 'w'), "C:\\", "D", "E", "L",
    };
    std::mt19937 random(20261211);
    for (int round = 0; round < 3000; ++round) {
        std::string file;
        const std::size_t count = random() % 60;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t part = random() % parts.size();
            if (parts[part] == "\x1A" && random() % 8 != 0) continue;  // keep most files whole
            file += parts[part];
        }
        std::vector<Dropped> whole;
        std::vector<Dropped> inParts;
        const std::string written = Clean(file, &whole);
        ASSERT_EQ(Visible(written), Visible(CleanStepByStep(file))) << "file: " << Visible(file);
        ASSERT_EQ(Visible(CleanInParts(file, random, &inParts)), Visible(written)) << "file: " << Visible(file);
        ASSERT_EQ(inParts.size(), whole.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(inParts[i].line, whole[i].line);
            EXPECT_EQ(inParts[i].keyword, whole[i].keyword);
            EXPECT_EQ(inParts[i].text, whole[i].text);
        }
    }
}

}  // namespace
