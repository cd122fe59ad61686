// The password code exports fed through a block the hostile ways a host or a
// script can: empty and narrow tables, full tables, values too long for the
// library's buffers, passwords and codes of every awkward length, keys of 0
// to 9 characters. Each case says what the script sees afterwards; the
// native tests call the exports directly, the Windows tests through the DLL.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/guarded_table.h"
#include "common/password_vectors.h"
#include "host/script_call_block.h"

namespace bad_input {

struct Geometry {
    std::uint32_t capacity;
    std::uint32_t nameWidth;
    std::uint32_t valueWidth;
};

constexpr Geometry kRoomy{16, 40, 10001};

// What the script sees in the output variable afterwards.
struct Sees {
    enum Kind { kText, kAbsent, kCodeOf, kShortText } kind;
    std::string text;  // kText: the value; kCodeOf: the password the code decrypts to
    std::string key;   // kCodeOf: the KEY it decrypts under
};

inline Sees Text(std::string text) { return {Sees::kText, std::move(text), {}}; }
inline Sees Absent() { return {Sees::kAbsent, {}, {}}; }
inline Sees CodeOf(std::string password, std::string key) {
    return {Sees::kCodeOf, std::move(password), std::move(key)};
}
// Some text of at most 24 characters.
inline Sees ShortText() { return {Sees::kShortText, {}, {}}; }

using Vars = std::vector<std::pair<std::string, std::string>>;

struct BadInputCase {
    const char* name;
    const char* exportName;
    Geometry geometry;
    Vars vars;  // set by the host before the call, in this order
    const char* output;
    Sees sees;
};

inline const PasswordVector& Vector(const char* key, const char* password) {
    for (const PasswordVector& v : kPasswordVectors) {
        if (v.access == nullptr && std::string(v.key) == key && std::string(v.password) == password) return v;
    }
    ADD_FAILURE() << "no vector for " << key << " / " << password;
    return kPasswordVectors[0];
}

// Each number of a code written with leading zeros and 512 added: the same
// bytes, modulo 256.
inline std::string ManyDigits(const std::string& code, std::size_t zeros) {
    std::string out;
    std::size_t at = 0;
    while (at <= code.size()) {
        const std::size_t comma = code.find(',', at);
        const int number = std::stoi(code.substr(at, comma - at));
        if (!out.empty()) out += ',';
        out += std::string(zeros, '0') + std::to_string(number + 512);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return out;
}

// A code followed by text up to the given length.
inline std::string Padded(const std::string& code, std::size_t length) {
    return code + "," + std::string(length - code.size() - 1, '7');
}

inline std::string Repeat(std::size_t length, const std::string& start) {
    std::string text = start;
    while (text.size() < length) text += static_cast<char>('a' + text.size() % 26);
    return text.substr(0, length);
}

// QV_DESEncrypt of "pw" under the first n characters of "abcdefghi", computed
// with OpenSSL's DES: a key shorter than 8 is followed by zero bytes, a longer
// one is cut to 8.
inline const char* const kPwCodeByKeyLength[10] = {
    "-34,35,0,-20,-75,-107,-48,-22,42,-50,-88,118,63,-120,-77,-53,42,-50,-88,118,63,-120,-77,-53",
    "-94,115,117,-65,-76,-113,-59,-114,52,85,-44,-64,-113,74,79,-32,52,85,-44,-64,-113,74,79,-32",
    "-90,-111,-22,-62,107,-3,-77,-31,-87,16,-107,15,-42,-56,-55,-50,-87,16,-107,15,-42,-56,-55,-50",
    "77,68,-27,19,41,127,98,35,73,-79,-120,-62,112,-116,-6,6,73,-79,-120,-62,112,-116,-6,6",
    "11,-87,-57,94,33,96,112,66,7,51,-31,-67,9,83,23,-128,7,51,-31,-67,9,83,23,-128",
    "93,13,25,-13,34,-3,-22,127,83,63,0,73,-127,18,124,37,83,63,0,73,-127,18,124,37",
    "-35,-106,-48,-81,92,87,120,-126,17,-112,61,-58,-4,68,-26,21,17,-112,61,-58,-4,68,-26,21",
    "-60,61,-42,106,-22,-2,67,-40,63,63,-8,74,88,-103,48,-93,63,63,-8,74,88,-103,48,-93",
    "113,-22,25,-58,92,-45,-47,107,98,49,-59,77,-15,-62,-26,-3,98,49,-59,77,-15,-62,-26,-3",
    "113,-22,25,-58,92,-45,-47,107,98,49,-59,77,-15,-62,-26,-3,98,49,-59,77,-15,-62,-26,-3",
};

inline std::vector<BadInputCase> Cases() {
    const std::string n29(29, 'N');
    const std::string n30(30, 'N');
    const PasswordVector& v23 = Vector("KEY", "abcdefghijklmnopqrstuvw");
    const PasswordVector& v24 = Vector("key", "abcdefghijklmnopqrstuvwx");
    // "secret" under "abcdefgh", and the same code without its last number.
    const std::string secretCode = Vector("abcdefgh", "secret").code;
    const std::string secretCode23 = secretCode.substr(0, secretCode.rfind(','));
    std::vector<BadInputCase> cases = {
        // Tables that cannot take the result.
        {"varCapacity 0", "QV_DESEncrypt", {0, 40, 256}, {}, "ENCPWD", Absent()},
        {"name slots 0 wide", "QV_DESEncrypt", {8, 0, 256}, {}, "ENCPWD", Absent()},
        {"slots 1 wide", "QV_DESEncrypt", {8, 1, 1}, {}, "ENCPWD", Absent()},
        {"name slots 8 wide: %ENCPWD% needs 9", "QV_DESEncrypt", {8, 8, 256},
         {{"KEY", "abcdefgh"}, {"PWD1", "secret"}}, "ENCPWD", Absent()},
        {"value slots 8 wide: no code fits", "QV_DESEncrypt", {8, 16, 8},
         {{"KEY", "abcdefg"}, {"PWD1", "secret"}}, "ENCPWD", Absent()},
        {"value slots 8 wide: an old code stays", "QV_DESEncrypt", {8, 16, 8},
         {{"KEY", "abcdefg"}, {"PWD1", "secret"}, {"ENCPWD", "old"}}, "ENCPWD", Text("old")},
        {"value slots 8 wide: no code, PWD empty", "QV_DESDecrypt", {8, 16, 8},
         {{"KEY", "abcdefg"}}, "PWD", Text("")},
        {"value slots 120 wide: the longest code fits", "QV_DESEncrypt", {8, 16, 120},
         {{"KEY", "abcdefgh"}, {"PWD1", "secret"}}, "ENCPWD", Text(secretCode)},
        {"full table: ENCPWD is dropped", "QV_DESEncrypt", {2, 16, 256},
         {{"KEY", "abcdefgh"}, {"PWD1", "secret"}}, "ENCPWD", Absent()},
        {"full table: an existing ENCPWD is overwritten", "QV_DESEncrypt", {3, 16, 256},
         {{"KEY", "abcdefgh"}, {"PWD1", "secret"}, {"ENCPWD", "old"}}, "ENCPWD", Text(secretCode)},
        {"names of 29 and 30 characters beside", "QV_DESEncrypt", {8, 40, 256},
         {{n29, "x"}, {n30, "y"}, {"KEY", "abcdefgh"}, {"PWD1", "secret"}}, "ENCPWD", Text(secretCode)},

        // Values at and beyond the library's 256-byte buffers.
        {"KEY of 255 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", Repeat(255, "abcdefgh")}, {"PWD1", "secret"}}, "ENCPWD", Text(secretCode)},
        {"KEY of 256 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", Repeat(256, "abcdefgh")}, {"PWD1", "secret"}}, "ENCPWD", Text(secretCode)},
        {"KEY of 10,000 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", Repeat(10000, "abcdefgh")}, {"PWD1", "secret"}}, "ENCPWD", Text(secretCode)},
        {"PWD1 of 255 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"PWD1", Repeat(255, "")}}, "ENCPWD", Text("")},
        {"PWD1 of 10,000 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"PWD1", Repeat(10000, "")}}, "ENCPWD", Text("")},
        {"ENCPWD of 255 characters", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", Padded(secretCode, 255)}}, "PWD", Text("secret")},
        {"ENCPWD of 256 characters", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", Padded(secretCode, 256)}}, "PWD", Text("secret")},
        {"ENCPWD of 10,000 characters", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", Padded(secretCode, 10000)}}, "PWD", Text("secret")},
        {"ACCESSPWD and SUPERPWD of 10,000 characters", "QV_DESEncryptData", kRoomy,
         {{"KEY", "abc"}, {"ACCESSPWD", Repeat(10000, "")}, {"SUPERPWD", Repeat(10000, "")}}, "ENCPWD", Text("")},

        // Passwords around the 24 bytes of the block.
        {"password of 23 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", v23.key}, {"PWD1", v23.password}}, "ENCPWD", Text(v23.code)},
        {"password of 24 characters", "QV_DESEncrypt", kRoomy,
         {{"KEY", v24.key}, {"PWD1", v24.password}}, "ENCPWD", Text(v24.code)},
        {"password of 24 characters comes back", "QV_DESDecrypt", kRoomy,
         {{"KEY", v24.key}, {"ENCPWD", v24.code}}, "PWD", Text(v24.password)},
        {"password of 25 characters is refused", "QV_DESEncrypt", kRoomy,
         {{"KEY", "k"}, {"PWD1", Repeat(25, "")}, {"ENCPWD", "old"}}, "ENCPWD", Text("")},
        {"password of 300 characters is refused", "QV_DESEncrypt", kRoomy,
         {{"KEY", "k"}, {"PWD1", Repeat(300, "")}}, "ENCPWD", Text("")},
        {"data password of 24 characters", "QV_DESEncryptData", kRoomy,
         {{"KEY", "abc"}, {"ACCESSPWD", "acce"}, {"SUPERPWD", Repeat(24, "")}}, "ENCPWD",
         CodeOf(Repeat(24, ""), "*acceabc")},
        {"data password of 25 characters is refused", "QV_DESEncryptData", kRoomy,
         {{"KEY", "abc"}, {"ACCESSPWD", "acce"}, {"SUPERPWD", Repeat(25, "")}}, "ENCPWD", Text("")},
        {"no password at all", "QV_DESEncrypt", kRoomy, {{"KEY", ""}}, "ENCPWD",
         Text(Vector("", "").code)},

        // Codes of every awkward shape.
        {"code of 0 numbers", "QV_DESDecrypt", kRoomy, {{"KEY", "abcdefgh"}, {"ENCPWD", ""}}, "PWD", Text("")},
        {"no code at all", "QV_DESDecrypt", kRoomy, {{"KEY", "abcdefgh"}, {"PWD", "old"}}, "PWD", Text("")},
        {"code of 23 numbers", "QV_DESDecrypt", kRoomy, {{"KEY", "abcdefgh"}, {"ENCPWD", secretCode23}}, "PWD",
         Text("")},
        {"code of 24 numbers", "QV_DESDecrypt", kRoomy, {{"KEY", "abcdefgh"}, {"ENCPWD", secretCode}}, "PWD",
         Text("secret")},
        {"code of 25 numbers", "QV_DESDecrypt", kRoomy, {{"KEY", "abcdefgh"}, {"ENCPWD", secretCode + ",5"}},
         "PWD", Text("secret")},
        {"numbers of many digits", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", ManyDigits(secretCode, 4)}}, "PWD", Text("secret")},
        {"numbers so long that 24 pass 255 characters", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", ManyDigits(secretCode, 12)}}, "PWD", Text("")},
        {"text after the last number", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", secretCode + " and then words, 1, 2"}}, "PWD", Text("secret")},
        {"a sign without digits", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgh"}, {"ENCPWD", "-," + secretCode}}, "PWD", Text("")},
        {"under another key: other bytes, no error", "QV_DESDecrypt", kRoomy,
         {{"KEY", "abcdefgX"}, {"ENCPWD", secretCode}}, "PWD", ShortText()},
    };

    static const std::string kKeyLetters = "abcdefghi";
    for (std::size_t length = 0; length <= 9; ++length) {
        cases.push_back({nullptr, "QV_DESEncrypt", kRoomy, {{"KEY", kKeyLetters.substr(0, length)}, {"PWD1", "pw"}},
                         "ENCPWD", Text(kPwCodeByKeyLength[length])});
    }
    return cases;
}

// Every variable the host set, by name, as the host reads it.
inline std::vector<std::pair<std::string, std::string>> HostView(const GuardedTable& table, const Vars& vars) {
    std::vector<std::pair<std::string, std::string>> view;
    for (const auto& var : vars) view.emplace_back(var.first, table.Get(var.first));
    return view;
}

using Export = std::int32_t (*)(ScriptCallBlock*);

// Runs every case through the exports that exportNamed finds, and checks
// what the script sees, that the guard bytes hold and that no other variable
// changed. decrypt is QV_DESDecrypt, for codes checked by decrypting them.
template <typename ExportNamed, typename Decrypt>
void RunCases(ExportNamed exportNamed, Decrypt decrypt) {
    for (const BadInputCase& c : Cases()) {
        const std::string label =
            c.name != nullptr ? c.name : "KEY of " + std::to_string(c.vars[0].second.size()) + " characters";
        SCOPED_TRACE(std::string(c.exportName) + ": " + label);
        const Geometry& g = c.geometry;
        GuardedTable table(g.capacity, g.nameWidth, g.valueWidth);
        for (const auto& var : c.vars) {
            ASSERT_TRUE(table.Set(var.first, var.second)) << "the host could not set " << var.first;
        }
        const std::uint32_t countBefore = table.block()->varCount;
        const auto before = HostView(table, c.vars);

        EXPECT_EQ(exportNamed(c.exportName)(table.block()), 1);

        EXPECT_TRUE(table.GuardsIntact()) << "written outside the arrays or the block";
        EXPECT_TRUE(table.BlockFieldsIntact(g.capacity, g.nameWidth, g.valueWidth));
        EXPECT_LE(table.block()->varCount, g.capacity);
        EXPECT_LE(table.block()->varCount, countBefore + 1);
        for (const auto& [name, value] : before) {
            if (name != c.output) {
                EXPECT_EQ(table.Get(name), value) << name << " changed";
            }
        }

        bool found = false;
        const std::string seen = table.Get(c.output, &found);
        switch (c.sees.kind) {
            case Sees::kAbsent:
                EXPECT_FALSE(found) << c.output << " = " << seen;
                break;
            case Sees::kText:
                EXPECT_TRUE(found);
                EXPECT_EQ(seen, c.sees.text);
                break;
            case Sees::kCodeOf: {
                EXPECT_TRUE(found);
                GuardedTable decryptTable(4, 16, 256);
                decryptTable.Set("KEY", c.sees.key);
                decryptTable.Set("ENCPWD", seen);
                decrypt(decryptTable.block());
                EXPECT_EQ(decryptTable.Get("PWD"), c.sees.text) << "code " << seen;
                break;
            }
            case Sees::kShortText:
                EXPECT_TRUE(found);
                EXPECT_LE(seen.size(), 24u);
                break;
        }
    }
}

}  // namespace bad_input
