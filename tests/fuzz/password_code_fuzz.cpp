// Password codes from hostile input. The first byte picks the test:
//  - QV_DESDecrypt of a block whose ENCPWD (and KEY) come from the input: no
//    crash, nothing written outside the table, PWD is at most 24 characters;
//  - QV_DESEncrypt, then QV_DESDecrypt under the same KEY: every password of
//    up to 24 characters comes back, a longer one gives an empty ENCPWD, and
//    every code has the PasswordCode form;
//  - QV_DESEncryptData, then QV_DESDecrypt under "*", four characters of
//    ACCESSPWD and three of KEY.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/guarded_table.h"
#include "host/exports.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// 24 numbers from -128 to 127, without leading zeros or plus signs, joined by
// single commas.
bool IsPasswordCode(const std::string& code) {
    if (code.size() < 47 || code.size() > 119) return false;
    std::size_t numbers = 0;
    std::size_t i = 0;
    while (i < code.size()) {
        const bool negative = code[i] == '-';
        if (negative) ++i;
        const std::size_t start = i;
        int value = 0;
        while (i < code.size() && code[i] >= '0' && code[i] <= '9') value = value * 10 + (code[i++] - '0');
        const std::size_t digits = i - start;
        if (digits == 0 || digits > 3 || (digits > 1 && code[start] == '0')) return false;
        if (negative ? (value == 0 || value > 128) : value > 127) return false;
        ++numbers;
        if (i < code.size() && code[i++] != ',') return false;
        if (i == code.size() && code.back() == ',') return false;
    }
    return numbers == 24;
}

constexpr std::uint32_t kCapacity = 8;
constexpr std::uint32_t kNameWidth = 16;
constexpr std::uint32_t kValueWidth = 320;  // room for every text the input gives

void CheckTable(const GuardedTable& table) {
    Require(table.GuardsIntact());
    Require(table.BlockFieldsIntact(kCapacity, kNameWidth, kValueWidth));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t mode = in.ConsumeIntegral<std::uint8_t>() % 3;
    const std::string key = in.ConsumeRandomLengthString(300).c_str();
    GuardedTable table(kCapacity, kNameWidth, kValueWidth);
    table.Set("KEY", key);

    if (mode == 0) {
        const std::string code = in.ConsumeRandomLengthString(kValueWidth - 1).c_str();
        table.Set("ENCPWD", code);
        Require(QV_DESDecrypt(table.block()) == 1);
        CheckTable(table);
        bool found = false;
        Require(table.Get("PWD", &found).size() <= 24 && found);
        Require(table.Get("KEY") == key);
        return 0;
    }

    const std::string password = in.ConsumeRandomLengthString(40).c_str();
    if (mode == 1) {
        table.Set("PWD1", password);
        Require(QV_DESEncrypt(table.block()) == 1);
        CheckTable(table);
    } else {
        const std::string access = in.ConsumeRandomLengthString(300).c_str();
        table.Set("ACCESSPWD", access);
        table.Set("SUPERPWD", password);
        Require(QV_DESEncryptData(table.block()) == 1);
        CheckTable(table);
        if (access.size() < 4 || key.size() < 3) return 0;
        table.Set("KEY", "*" + access.substr(0, 4) + key.substr(0, 3));
    }

    const std::string code = table.Get("ENCPWD");
    if (password.size() > 24) {
        Require(code.empty());  // refused
        return 0;
    }
    Require(IsPasswordCode(code));
    Require(QV_DESDecrypt(table.block()) == 1);
    CheckTable(table);
    Require(table.Get("PWD") == password);
    return 0;
}
