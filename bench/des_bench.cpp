// DES and password codes: the library's engine against OpenSSL's libcrypto
// doing the same work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "crypto/des.h"
#include "password/password_code.h"

// OpenSSL 3 marks the low-level DES interface deprecated; it is still the
// plain single-DES peer this benchmark needs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

namespace {

constexpr char kKeyText[] = "*ecret7*";
constexpr char kPassword[] = "correct horse";

// The work of QV_DESEncrypt between reading and writing the variables: key
// stars, password block, three DES blocks, the code text.
void BM_PasswordCode_Vezivod(benchmark::State& state) {
    char code[kPasswordCodeSize];
    for (auto _ : state) {
        std::uint8_t key[9];
        std::memcpy(key, kKeyText, sizeof(key));
        benchmark::DoNotOptimize(key);
        SubstituteKeyStars(key);
        EncryptPasswordCode(key, kPassword, code);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(BM_PasswordCode_Vezivod);

// The same with OpenSSL's DES: its key schedule and three ECB blocks.
void BM_PasswordCode_OpenSSL(benchmark::State& state) {
    char code[kPasswordCodeSize];
    for (auto _ : state) {
        std::uint8_t key[9];
        std::memcpy(key, kKeyText, sizeof(key));
        benchmark::DoNotOptimize(key);
        SubstituteKeyStars(key);
        std::uint8_t block[kPasswordBlockSize + 1];
        std::uint8_t cipher[kPasswordBlockSize];
        BuildPasswordBlock(kPassword, block);
        DES_key_schedule schedule;
        DES_cblock desKey;
        std::memcpy(desKey, key, sizeof(desKey));
        DES_set_key_unchecked(&desKey, &schedule);
        for (std::size_t i = 0; i < kPasswordBlockSize; i += 8) {
            DES_ecb_encrypt(reinterpret_cast<const_DES_cblock*>(block + i),
                            reinterpret_cast<DES_cblock*>(cipher + i), &schedule, DES_ENCRYPT);
        }
        FormatPasswordCode(cipher, code);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(BM_PasswordCode_OpenSSL);

// One block. The engine forms its round keys inside every block; OpenSSL's
// schedule is prepared once, outside the timed loop.
void BM_DesBlock_Vezivod(benchmark::State& state) {
    const std::uint8_t key[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    std::uint8_t block[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    for (auto _ : state) {
        DesEncryptBlocks(key, block, block, 1);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DesBlock_Vezivod);

void BM_DesBlock_OpenSSL(benchmark::State& state) {
    DES_cblock key = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    DES_cblock block = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    for (auto _ : state) {
        DES_ecb_encrypt(&block, &block, &schedule, DES_ENCRYPT);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DesBlock_OpenSSL);

}  // namespace
