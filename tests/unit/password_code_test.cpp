// Password codes: the text format, the parse rules, the key rules, and the
// three exports run on a host's table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/password_vectors.h"
#include "crypto/des.h"
#include "host/exports.h"
#include "host/host_table.h"
#include "password/password_code.h"

namespace {

std::string Format(std::initializer_list<int> bytes) {
    std::uint8_t cipher[24] = {};
    std::size_t i = 0;
    for (int b : bytes) cipher[i++] = static_cast<std::uint8_t>(b);
    char text[kPasswordCodeSize];
    FormatPasswordCode(cipher, text);
    return text;
}

TEST(PasswordCode, FormatsSignedBytes) {
    EXPECT_EQ(Format({0x80, 0xFF, 0x7F, 0x00, 0x01, 0x9C}),
              "-128,-1,127,0,1,-100,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    std::uint8_t widest[24];
    std::memset(widest, 0x80, sizeof(widest));
    char text[kPasswordCodeSize];
    FormatPasswordCode(widest, text);
    EXPECT_EQ(std::strlen(text), 119u);  // the longest code fits its 120 bytes
}

struct ParseCase {
    const char* text;
    std::size_t numbers;
    std::uint8_t first, last;  // cipher bytes 0 and 23
};

TEST(PasswordCode, ParsesAsFormattedInputDoes) {
    const ParseCase cases[] = {
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24", 24, 1, 24},
        {"-1, 2,\t3,\n4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,-128", 24, 0xFF, 0x80},
        {"255,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,200", 24, 0xFF, 0xC8},
        {"+5,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,-56", 24, 5, 0xC8},
        // many digits wrap to their low 8 bits: 4294967297 = 2^32 + 1
        {"4294967297,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,99999999999999999999", 24, 1, 0xFF},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25 trailing", 24, 1, 24},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24junk", 24, 1, 24},
        {"1 ,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24", 1, 1, 0},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23", 23, 1, 0},
        {"1,2,3,,5", 3, 1, 0},
        {"1,-,3", 1, 1, 0},
        {"", 0, 0, 0},
        {"x1,2", 0, 0, 0},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint8_t cipher[24];
        std::memset(cipher, 0xEE, sizeof(cipher));
        EXPECT_EQ(ParsePasswordCode(c.text, cipher), c.numbers);
        EXPECT_EQ(cipher[0], c.first);
        EXPECT_EQ(cipher[23], c.last);
    }
}

TEST(PasswordCode, FormatAndParseRoundTrip) {
    std::uint8_t cipher[24], back[24];
    for (int start = 0; start < 256; start += 24) {
        for (int i = 0; i < 24; ++i) cipher[i] = static_cast<std::uint8_t>(start + i);
        char text[kPasswordCodeSize];
        FormatPasswordCode(cipher, text);
        ASSERT_EQ(ParsePasswordCode(text, back), 24u);
        EXPECT_EQ(0, std::memcmp(cipher, back, 24));
    }
}

TEST(PasswordCode, BlockHoldsPasswordTerminatorAndFiller) {
    std::uint8_t block[25];
    BuildPasswordBlock("", block);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block + 1)), std::string(23, 'A'));
    BuildPasswordBlock("abcdefghijklmnopqrstuvw", block);  // 23: terminator in byte 23
    EXPECT_EQ(block[23], 0);
    BuildPasswordBlock("abcdefghijklmnopqrstuvwx", block);  // 24: no terminator inside
    EXPECT_EQ(0, std::memcmp(block, "abcdefghijklmnopqrstuvwx", 24));
}

TEST(PasswordCode, StarsAreSubstitutedOnlyInBytesZeroAndSeven) {
    std::uint8_t key[9];
    std::memcpy(key, "*23*56**", 9);
    SubstituteKeyStars(key);
    EXPECT_EQ(0, std::memcmp(key, "Q23*56*\xD7", 8));
}

struct DataKeyCase {
    const char* access;
    const char* key;
    std::uint8_t expected[9];
};

TEST(PasswordCode, DataKeyTakesFourAccessAndThreeKeyCharacters) {
    const DataKeyCase cases[] = {
        {"abcdef", "KLMNOP", {'Q', 'a', 'b', 'c', 'd', 'K', 'L', 'M', 0}},
        {"ab", "K", {'Q', 'a', 'b', 0, 0, 'K', 0, 0, 0}},
        {"", "", {'Q', 0, 0, 0, 0, 0, 0, 0, 0}},
        {"abcd", "*L*", {'Q', 'a', 'b', 'c', 'd', '*', 'L', 0xD7, 0}},
    };
    for (const DataKeyCase& c : cases) {
        SCOPED_TRACE(std::string(c.access) + "/" + c.key);
        std::uint8_t dataKey[kDataKeySize];
        BuildDataKey(c.access, c.key, dataKey);
        EXPECT_EQ(0, std::memcmp(dataKey, c.expected, kDataKeySize));
    }
}

// The host's view: run an export on a table and read the result variable.
std::string RunExport(std::int32_t (*fn)(ScriptCallBlock*), std::initializer_list<std::pair<const char*, std::string>> vars,
                      const char* result) {
    HostTable table(16, 32, 512);
    for (const auto& v : vars) EXPECT_TRUE(table.Set(v.first, v.second));
    EXPECT_EQ(fn(table.block()), 1);
    bool found = false;
    std::string value = table.Get(result, &found);
    EXPECT_TRUE(found) << result << " was not written";
    return value;
}

TEST(PasswordExports, KnownCodes) {
    for (const PasswordVector& v : kPasswordVectors) {
        SCOPED_TRACE(std::string(v.key) + " / " + v.password);
        if (v.access == nullptr) {
            EXPECT_EQ(RunExport(QV_DESEncrypt, {{"KEY", v.key}, {"PWD1", v.password}}, "ENCPWD"), v.code);
            EXPECT_EQ(RunExport(QV_DESDecrypt, {{"KEY", v.key}, {"ENCPWD", v.code}}, "PWD"), v.password);
        } else {
            EXPECT_EQ(RunExport(QV_DESEncryptData,
                                {{"KEY", v.key}, {"ACCESSPWD", v.access}, {"SUPERPWD", v.password}}, "ENCPWD"),
                      v.code);
        }
    }
}

TEST(PasswordExports, CodeIsDesOfThePasswordBlock) {
    // An independent path: the code's numbers are the DES encryption of the
    // block, key "8bytekey", under the engine's known answers.
    const std::uint8_t key[8] = {'8', 'b', 'y', 't', 'e', 'k', 'e', 'y'};
    std::uint8_t block[25], cipher[24], parsed[24];
    BuildPasswordBlock("hello", block);
    DesEncryptBlocks(key, block, cipher, 3);
    const std::string code = RunExport(QV_DESEncrypt, {{"KEY", "8bytekey"}, {"PWD1", "hello"}}, "ENCPWD");
    ASSERT_EQ(ParsePasswordCode(code.c_str(), parsed), 24u);
    EXPECT_EQ(0, std::memcmp(cipher, parsed, 24));
    EXPECT_EQ(0, std::memcmp(parsed + 8, parsed + 16, 8));  // two blocks of "A" filler
}

TEST(PasswordExports, RoundTripsEveryLengthUpTo24) {
    const std::string text = "Pa$$w0rd with spaces & \x7F\xA9\xFF!!";
    for (std::size_t length = 0; length <= 24; ++length) {
        const std::string password = text.substr(0, length);
        SCOPED_TRACE(length);
        const std::string code = RunExport(QV_DESEncrypt, {{"KEY", "k3y*"}, {"PWD1", password}}, "ENCPWD");
        EXPECT_EQ(RunExport(QV_DESDecrypt, {{"KEY", "k3y*"}, {"ENCPWD", code}}, "PWD"), password);
    }
}

TEST(PasswordExports, KeyRules) {
    auto code = [](const std::string& key) {
        return RunExport(QV_DESEncrypt, {{"KEY", key}, {"PWD1", "secret"}}, "ENCPWD");
    };
    // Only the first 8 characters count, and their parity bits never do.
    EXPECT_EQ(code("abcdefgh"), code("abcdefghXYZ"));
    EXPECT_EQ(code("abcdefgh"), code("`bcdefgi"));  // 'a'^1 = '`', 'h'^1 = 'i'
    // Short keys are followed by zero bytes; a missing KEY is the empty key.
    auto direct = [](const char* keyBytes) {
        char text[kPasswordCodeSize];
        EncryptPasswordCode(reinterpret_cast<const std::uint8_t*>(keyBytes), "secret", text);
        return std::string(text);
    };
    EXPECT_EQ(code("abcdefg"), direct("abcdefg\0"));
    EXPECT_EQ(code("abc"), direct("abc\0\0\0\0\0"));
    EXPECT_EQ(code(""), direct("\0\0\0\0\0\0\0\0"));
    EXPECT_EQ(code(""), RunExport(QV_DESEncrypt, {{"PWD1", "secret"}}, "ENCPWD"));
    // Stars in the first and eighth place are substituted; elsewhere kept.
    EXPECT_EQ(code("*bcdefg*"), code("Qbcdefg\xD7"));
    EXPECT_NE(code("a*cdefgh"), code("aQcdefgh"));
}

TEST(PasswordExports, DataCodeDecryptsUnderTheAssembledKey) {
    const std::string code = RunExport(
        QV_DESEncryptData, {{"KEY", "keytext"}, {"ACCESSPWD", "access"}, {"SUPERPWD", "super secret"}}, "ENCPWD");
    EXPECT_EQ(RunExport(QV_DESDecrypt, {{"KEY", "*accekey"}, {"ENCPWD", code}}, "PWD"), "super secret");
}

TEST(PasswordExports, RefusedInputLeavesNoStaleResult) {
    // A password of 25 characters or more gives the empty code.
    HostTable table(8, 32, 512);
    table.Set("KEY", "key");
    table.Set("ENCPWD", "stale");
    table.Set("PWD1", std::string(25, 'p'));
    EXPECT_EQ(QV_DESEncrypt(table.block()), 1);
    EXPECT_EQ(table.Get("ENCPWD"), "");
    table.Set("SUPERPWD", std::string(300, 'p'));
    table.Set("ENCPWD", "stale");
    EXPECT_EQ(QV_DESEncryptData(table.block()), 1);
    EXPECT_EQ(table.Get("ENCPWD"), "");

    // A code with fewer than 24 numbers gives the empty password.
    table.Set("PWD", "stale");
    table.Set("ENCPWD", "1,2,3");
    EXPECT_EQ(QV_DESDecrypt(table.block()), 1);
    EXPECT_EQ(table.Get("PWD"), "");
}

TEST(PasswordExports, DecryptedBlockWithoutTerminatorGivesAll24Bytes) {
    const std::string password(24, 'z');
    const std::string code = RunExport(QV_DESEncrypt, {{"KEY", "key"}, {"PWD1", password}}, "ENCPWD");
    EXPECT_EQ(RunExport(QV_DESDecrypt, {{"KEY", "key"}, {"ENCPWD", code}}, "PWD"), password);
}

TEST(PasswordExports, FullTableDropsTheNewVariableButStillReturnsOne) {
    HostTable table(2, 32, 256);
    table.Set("KEY", "key");
    table.Set("PWD1", "pw");
    EXPECT_EQ(QV_DESEncrypt(table.block()), 1);
    EXPECT_EQ(table.count(), 2u);
    EXPECT_EQ(QV_DESDecrypt(nullptr), 1);
    EXPECT_EQ(QV_DESEncrypt(nullptr), 1);
    EXPECT_EQ(QV_DESEncryptData(nullptr), 1);
}

}  // namespace
