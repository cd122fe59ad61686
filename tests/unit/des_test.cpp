#include "crypto/des.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/hex.h"
#include "crypto/des_tables.h"

namespace {

using testhex::FromHex;
using testhex::ToHex;

struct KnownAnswer {
    const char* set;
    const char* key;
    const char* plain;
    const char* cipher;
};

// NBS/NIST SP 800-17 validation sets for single DES (ECB).
const KnownAnswer kKnownAnswers[] = {
    // Variable plaintext (tests IP, E and IP-1): key 01..01, one plaintext bit set.
    {"variable plaintext", "0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"variable plaintext", "0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"variable plaintext", "0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"variable plaintext", "0101010101010101", "1000000000000000", "4BD388FF6CD81D4F"},
    {"variable plaintext", "0101010101010101", "0800000000000000", "20B9E767B2FB1456"},
    {"variable plaintext", "0101010101010101", "0400000000000000", "55579380D77138EF"},
    {"variable plaintext", "0101010101010101", "0200000000000000", "6CC5DEFAAF04512F"},
    {"variable plaintext", "0101010101010101", "0100000000000000", "0D9F279BA5D87260"},
    {"variable plaintext", "0101010101010101", "0080000000000000", "D9031B0271BD5A0A"},
    {"variable plaintext", "0101010101010101", "0040000000000000", "424250B37C3DD951"},
    {"variable plaintext", "0101010101010101", "0020000000000000", "B8061B7ECD9A21E5"},
    {"variable plaintext", "0101010101010101", "0010000000000000", "F15D0F286B65BD28"},
    {"variable plaintext", "0101010101010101", "0008000000000000", "ADD0CC8D6E5DEBA1"},
    {"variable plaintext", "0101010101010101", "0004000000000000", "E6D5F82752AD63D1"},
    {"variable plaintext", "0101010101010101", "0002000000000000", "ECBFE3BD3F591A5E"},
    {"variable plaintext", "0101010101010101", "0001000000000000", "F356834379D165CD"},
    {"variable plaintext", "0101010101010101", "0000800000000000", "2B9F982F20037FA9"},
    {"variable plaintext", "0101010101010101", "0000400000000000", "889DE068A16F0BE6"},
    {"variable plaintext", "0101010101010101", "0000200000000000", "E19E275D846A1298"},
    {"variable plaintext", "0101010101010101", "0000100000000000", "329A8ED523D71AEC"},
    {"variable plaintext", "0101010101010101", "0000080000000000", "E7FCE22557D23C97"},
    {"variable plaintext", "0101010101010101", "0000040000000000", "12A9F5817FF2D65D"},
    {"variable plaintext", "0101010101010101", "0000020000000000", "A484C3AD38DC9C19"},
    {"variable plaintext", "0101010101010101", "0000010000000000", "FBE00A8A1EF8AD72"},
    {"variable plaintext", "0101010101010101", "0000008000000000", "750D079407521363"},
    {"variable plaintext", "0101010101010101", "0000004000000000", "64FEED9C724C2FAF"},
    {"variable plaintext", "0101010101010101", "0000002000000000", "F02B263B328E2B60"},
    {"variable plaintext", "0101010101010101", "0000001000000000", "9D64555A9A10B852"},
    {"variable plaintext", "0101010101010101", "0000000800000000", "D106FF0BED5255D7"},
    {"variable plaintext", "0101010101010101", "0000000400000000", "E1652C6B138C64A5"},
    {"variable plaintext", "0101010101010101", "0000000200000000", "E428581186EC8F46"},
    {"variable plaintext", "0101010101010101", "0000000100000000", "AEB5F5EDE22D1A36"},
    {"variable plaintext", "0101010101010101", "0000000080000000", "E943D7568AEC0C5C"},
    {"variable plaintext", "0101010101010101", "0000000040000000", "DF98C8276F54B04B"},
    {"variable plaintext", "0101010101010101", "0000000020000000", "B160E4680F6C696F"},
    {"variable plaintext", "0101010101010101", "0000000010000000", "FA0752B07D9C4AB8"},
    {"variable plaintext", "0101010101010101", "0000000008000000", "CA3A2B036DBC8502"},
    {"variable plaintext", "0101010101010101", "0000000004000000", "5E0905517BB59BCF"},
    {"variable plaintext", "0101010101010101", "0000000002000000", "814EEB3B91D90726"},
    {"variable plaintext", "0101010101010101", "0000000001000000", "4D49DB1532919C9F"},
    {"variable plaintext", "0101010101010101", "0000000000800000", "25EB5FC3F8CF0621"},
    {"variable plaintext", "0101010101010101", "0000000000400000", "AB6A20C0620D1C6F"},
    {"variable plaintext", "0101010101010101", "0000000000200000", "79E90DBC98F92CCA"},
    {"variable plaintext", "0101010101010101", "0000000000100000", "866ECEDD8072BB0E"},
    {"variable plaintext", "0101010101010101", "0000000000080000", "8B54536F2F3E64A8"},
    {"variable plaintext", "0101010101010101", "0000000000040000", "EA51D3975595B86B"},
    {"variable plaintext", "0101010101010101", "0000000000020000", "CAFFC6AC4542DE31"},
    {"variable plaintext", "0101010101010101", "0000000000010000", "8DD45A2DDF90796C"},
    {"variable plaintext", "0101010101010101", "0000000000008000", "1029D55E880EC2D0"},
    {"variable plaintext", "0101010101010101", "0000000000004000", "5D86CB23639DBEA9"},
    {"variable plaintext", "0101010101010101", "0000000000002000", "1D1CA853AE7C0C5F"},
    {"variable plaintext", "0101010101010101", "0000000000001000", "CE332329248F3228"},
    {"variable plaintext", "0101010101010101", "0000000000000800", "8405D1ABE24FB942"},
    {"variable plaintext", "0101010101010101", "0000000000000400", "E643D78090CA4207"},
    {"variable plaintext", "0101010101010101", "0000000000000200", "48221B9937748A23"},
    {"variable plaintext", "0101010101010101", "0000000000000100", "DD7C0BBD61FAFD54"},
    {"variable plaintext", "0101010101010101", "0000000000000080", "2FBC291A570DB5C4"},
    {"variable plaintext", "0101010101010101", "0000000000000040", "E07C30D7E4E26E12"},
    {"variable plaintext", "0101010101010101", "0000000000000020", "0953E2258E8E90A1"},
    {"variable plaintext", "0101010101010101", "0000000000000010", "5B711BC4CEEBF2EE"},
    {"variable plaintext", "0101010101010101", "0000000000000008", "CC083F1E6D9E85F6"},
    {"variable plaintext", "0101010101010101", "0000000000000004", "D2FD8867D50D2DFE"},
    {"variable plaintext", "0101010101010101", "0000000000000002", "06E7EA22CE92708F"},
    {"variable plaintext", "0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},

    // Variable key (tests PC-1 and PC-2): one key bit set, plaintext zero.
    {"variable key", "8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"variable key", "4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"variable key", "2001010101010101", "0000000000000000", "7AD16FFB79C45926"},
    {"variable key", "1001010101010101", "0000000000000000", "D3746294CA6A6CF3"},
    {"variable key", "0801010101010101", "0000000000000000", "809F5F873C1FD761"},
    {"variable key", "0401010101010101", "0000000000000000", "C02FAFFEC989D1FC"},
    {"variable key", "0201010101010101", "0000000000000000", "4615AA1D33E72F10"},
    {"variable key", "0180010101010101", "0000000000000000", "2055123350C00858"},
    {"variable key", "0140010101010101", "0000000000000000", "DF3B99D6577397C8"},
    {"variable key", "0120010101010101", "0000000000000000", "31FE17369B5288C9"},
    {"variable key", "0110010101010101", "0000000000000000", "DFDD3CC64DAE1642"},
    {"variable key", "0108010101010101", "0000000000000000", "178C83CE2B399D94"},
    {"variable key", "0104010101010101", "0000000000000000", "50F636324A9B7F80"},
    {"variable key", "0102010101010101", "0000000000000000", "A8468EE3BC18F06D"},
    {"variable key", "0101800101010101", "0000000000000000", "A2DC9E92FD3CDE92"},
    {"variable key", "0101400101010101", "0000000000000000", "CAC09F797D031287"},
    {"variable key", "0101200101010101", "0000000000000000", "90BA680B22AEB525"},
    {"variable key", "0101100101010101", "0000000000000000", "CE7A24F350E280B6"},
    {"variable key", "0101080101010101", "0000000000000000", "882BFF0AA01A0B87"},
    {"variable key", "0101040101010101", "0000000000000000", "25610288924511C2"},
    {"variable key", "0101020101010101", "0000000000000000", "C71516C29C75D170"},
    {"variable key", "0101018001010101", "0000000000000000", "5199C29A52C9F059"},
    {"variable key", "0101014001010101", "0000000000000000", "C22F0A294A71F29F"},
    {"variable key", "0101012001010101", "0000000000000000", "EE371483714C02EA"},
    {"variable key", "0101011001010101", "0000000000000000", "A81FBD448F9E522F"},
    {"variable key", "0101010801010101", "0000000000000000", "4F644C92E192DFED"},
    {"variable key", "0101010401010101", "0000000000000000", "1AFA9A66A6DF92AE"},
    {"variable key", "0101010201010101", "0000000000000000", "B3C1CC715CB879D8"},
    {"variable key", "0101010180010101", "0000000000000000", "19D032E64AB0BD8B"},
    {"variable key", "0101010140010101", "0000000000000000", "3CFAA7A7DC8720DC"},
    {"variable key", "0101010120010101", "0000000000000000", "B7265F7F447AC6F3"},
    {"variable key", "0101010110010101", "0000000000000000", "9DB73B3C0D163F54"},
    {"variable key", "0101010108010101", "0000000000000000", "8181B65BABF4A975"},
    {"variable key", "0101010104010101", "0000000000000000", "93C9B64042EAA240"},
    {"variable key", "0101010102010101", "0000000000000000", "5570530829705592"},
    {"variable key", "0101010101800101", "0000000000000000", "8638809E878787A0"},
    {"variable key", "0101010101400101", "0000000000000000", "41B9A79AF79AC208"},
    {"variable key", "0101010101200101", "0000000000000000", "7A9BE42F2009A892"},
    {"variable key", "0101010101100101", "0000000000000000", "29038D56BA6D2745"},
    {"variable key", "0101010101080101", "0000000000000000", "5495C6ABF1E5DF51"},
    {"variable key", "0101010101040101", "0000000000000000", "AE13DBD561488933"},
    {"variable key", "0101010101020101", "0000000000000000", "024D1FFA8904E389"},
    {"variable key", "0101010101018001", "0000000000000000", "D1399712F99BF02E"},
    {"variable key", "0101010101014001", "0000000000000000", "14C1D7C1CFFEC79E"},
    {"variable key", "0101010101012001", "0000000000000000", "1DE5279DAE3BED6F"},
    {"variable key", "0101010101011001", "0000000000000000", "E941A33F85501303"},
    {"variable key", "0101010101010801", "0000000000000000", "DA99DBBC9A03F379"},
    {"variable key", "0101010101010401", "0000000000000000", "B7FC92F91D8E92E9"},
    {"variable key", "0101010101010201", "0000000000000000", "AE8E5CAA3CA04E85"},
    {"variable key", "0101010101010180", "0000000000000000", "9CC62DF43B6EED74"},
    {"variable key", "0101010101010140", "0000000000000000", "D863DBB5C59A91A0"},
    {"variable key", "0101010101010120", "0000000000000000", "A1AB2190545B91D7"},
    {"variable key", "0101010101010110", "0000000000000000", "0875041E64C570F7"},
    {"variable key", "0101010101010108", "0000000000000000", "5A594528BEBEF1CC"},
    {"variable key", "0101010101010104", "0000000000000000", "FCDB3291DE21F0C0"},
    {"variable key", "0101010101010102", "0000000000000000", "869EFD7F9F265A09"},

    // Permutation operation (tests P): plaintext zero.
    {"permutation operation", "1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"permutation operation", "1007103489988020", "0000000000000000", "0C0CC00C83EA48FD"},
    {"permutation operation", "10071034C8980120", "0000000000000000", "83BC8EF3A6570183"},
    {"permutation operation", "1046103489988020", "0000000000000000", "DF725DCAD94EA2E9"},
    {"permutation operation", "1086911519190101", "0000000000000000", "E652B53B550BE8B0"},
    {"permutation operation", "1086911519580101", "0000000000000000", "AF527120C485CBB0"},
    {"permutation operation", "5107B01519580101", "0000000000000000", "0F04CE393DB926D5"},
    {"permutation operation", "1007B01519190101", "0000000000000000", "C9F00FFC74079067"},
    {"permutation operation", "3107915498080101", "0000000000000000", "7CFD82A593252B4E"},
    {"permutation operation", "3107919498080101", "0000000000000000", "CB49A2F9E91363E3"},
    {"permutation operation", "10079115B9080140", "0000000000000000", "00B588BE70D23F56"},
    {"permutation operation", "3107911598080140", "0000000000000000", "406A9A6AB43399AE"},
    {"permutation operation", "1007D01589980101", "0000000000000000", "6CB773611DCA9ADA"},
    {"permutation operation", "9107911589980101", "0000000000000000", "67FD21C17DBB5D70"},
    {"permutation operation", "9107D01589190101", "0000000000000000", "9592CB4110430787"},
    {"permutation operation", "1007D01598980120", "0000000000000000", "A6B7FF68A318DDD3"},
    {"permutation operation", "1007940498190101", "0000000000000000", "4D102196C914CA16"},
    {"permutation operation", "0107910491190401", "0000000000000000", "2DFA9F4573594965"},
    {"permutation operation", "0107910491190101", "0000000000000000", "B46604816C0E0774"},
    {"permutation operation", "0107940491190401", "0000000000000000", "6E7E6221A4F34E87"},
    {"permutation operation", "19079210981A0101", "0000000000000000", "AA85E74643233199"},
    {"permutation operation", "1007911998190801", "0000000000000000", "2E5A19DB4D1962D6"},
    {"permutation operation", "10079119981A0801", "0000000000000000", "23A866A809D30894"},
    {"permutation operation", "1007921098190101", "0000000000000000", "D812D961F017D320"},
    {"permutation operation", "100791159819010B", "0000000000000000", "055605816E58608F"},
    {"permutation operation", "1004801598190101", "0000000000000000", "ABD88E8B1B7716F1"},
    {"permutation operation", "1004801598190102", "0000000000000000", "537AC95BE69DA1E1"},
    {"permutation operation", "1004801598190108", "0000000000000000", "AED0F6AE3C25CDD8"},
    {"permutation operation", "1002911598100104", "0000000000000000", "B3E35A5EE53E7B8D"},
    {"permutation operation", "1002911598190104", "0000000000000000", "61C79C71921A2EF8"},
    {"permutation operation", "1002911598100201", "0000000000000000", "E2F5728F0995013C"},
    {"permutation operation", "1002911698100101", "0000000000000000", "1AEAC39A61F0A464"},

    // Substitution table (tests S1 to S8).
    {"substitution table", "7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"substitution table", "0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"substitution table", "07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
    {"substitution table", "3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
    {"substitution table", "04B915BA43FEB5B6", "42FD443059577FA2", "AF37FB421F8C4095"},
    {"substitution table", "0113B970FD34F2CE", "059B5E0851CF143A", "86A560F10EC6D85B"},
    {"substitution table", "0170F175468FB5E6", "0756D8E0774761D2", "0CD3DA020021DC09"},
    {"substitution table", "43297FAD38E373FE", "762514B829BF486A", "EA676B2CB7DB2B7A"},
    {"substitution table", "07A7137045DA2A16", "3BDD119049372802", "DFD64A815CAF1A0F"},
    {"substitution table", "04689104C2FD3B2F", "26955F6835AF609A", "5C513C9C4886C088"},
    {"substitution table", "37D06BB516CB7546", "164D5E404F275232", "0A2AEEAE3FF4AB77"},
    {"substitution table", "1F08260D1AC2465E", "6B056E18759F5CCA", "EF1BF03E5DFA575A"},
    {"substitution table", "584023641ABA6176", "004BD6EF09176062", "88BF0DB6D70DEE56"},
    {"substitution table", "025816164629B007", "480D39006EE762F2", "A1F9915541020B56"},
    {"substitution table", "49793EBC79B3258F", "437540C8698F3CFA", "6FBF1CAFCFFD0556"},
    {"substitution table", "4FB05E1515AB73A7", "072D43A077075292", "2F22E49BAB7CA1AC"},
    {"substitution table", "49E95D6D4CA229BF", "02FE55778117F12A", "5A6B612CC26CCE4A"},
    {"substitution table", "018310DC409B26D6", "1D9D5C5018F728C2", "5F4C038ED12B2E41"},
    {"substitution table", "1C587F1C13924FEF", "305532286D6F295A", "63FAC0D034D9F793"},

    // The worked example that accompanies FIPS 46-3.
    {"worked example", "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
};

TEST(Des, KnownAnswersBothDirections) {
    for (const KnownAnswer& kat : kKnownAnswers) {
        SCOPED_TRACE(std::string(kat.set) + ": key " + kat.key + ", plaintext " + kat.plain);
        const std::vector<std::uint8_t> key = FromHex(kat.key);
        const std::vector<std::uint8_t> plain = FromHex(kat.plain);
        const std::vector<std::uint8_t> cipher = FromHex(kat.cipher);
        ASSERT_EQ(key.size(), 8u);
        ASSERT_EQ(plain.size(), 8u);
        ASSERT_EQ(cipher.size(), 8u);

        std::uint8_t out[8];
        DesEncryptBlocks(key.data(), plain.data(), out, 1);
        EXPECT_EQ(ToHex(out, 8), ToHex(cipher)) << "encrypt";
        DesDecryptBlocks(key.data(), cipher.data(), out, 1);
        EXPECT_EQ(ToHex(out, 8), ToHex(plain)) << "decrypt";
    }
}

// Bits written as the standard's example prints them, e.g. "000110 110000 ...".
std::string BitsToHex(const char* bits) {
    std::vector<std::uint8_t> bytes;
    unsigned value = 0;
    unsigned count = 0;
    for (const char* p = bits; *p != '\0'; ++p) {
        if (*p == ' ') continue;
        value = value * 2 + static_cast<unsigned>(*p == '1');
        if (++count % 8 == 0) {
            bytes.push_back(static_cast<std::uint8_t>(value));
            value = 0;
        }
    }
    return ToHex(bytes);
}

TEST(Des, WorkedExampleRoundKeys) {
    const std::vector<std::uint8_t> key = FromHex("133457799BBCDFF1");
    std::uint8_t roundKey[6];

    DesRoundKey(0, key.data(), roundKey);
    EXPECT_EQ(ToHex(roundKey, 6), BitsToHex("000110 110000 001011 101111 111111 000111 000001 110010"))
        << "K1";
    DesRoundKey(15, key.data(), roundKey);
    EXPECT_EQ(ToHex(roundKey, 6), BitsToHex("110010 110011 110110 001011 000011 100001 011111 110101"))
        << "K16";
}

TEST(Des, WorkedExampleFirstRoundFunction) {
    // f(R0, K1) of the same example: R0 = F0AAF0AA gives 234AA9BB.
    const std::vector<std::uint8_t> key = FromHex("133457799BBCDFF1");
    const std::vector<std::uint8_t> half = FromHex("F0AAF0AA");
    std::uint8_t roundKey[6];
    std::uint8_t result[4];
    DesRoundKey(0, key.data(), roundKey);
    DesRoundFunction(roundKey, half.data(), result);
    EXPECT_EQ(ToHex(result, 4), "234AA9BB");
}

TEST(Des, ZeroKeyAndParityOnlyKeyAgree) {
    const std::uint8_t zeroBlock[8] = {};
    const std::uint8_t zeroKey[8] = {};
    const std::uint8_t parityOnlyKey[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    std::uint8_t out[8];

    DesEncryptBlocks(zeroKey, zeroBlock, out, 1);
    EXPECT_EQ(ToHex(out, 8), "8CA64DE9C1B123A7");
    DesEncryptBlocks(parityOnlyKey, zeroBlock, out, 1);
    EXPECT_EQ(ToHex(out, 8), "8CA64DE9C1B123A7");
}

TEST(Des, ParityBitsAreNeverRead) {
    const std::vector<std::uint8_t> key = FromHex("3B3898371520F75E");
    const std::vector<std::uint8_t> plain = FromHex("00112233445566778899AABBCCDDEEFF0123456789ABCDEF");
    std::uint8_t expectedEnc[24];
    std::uint8_t expectedDec[24];
    DesEncryptBlocks(key.data(), plain.data(), expectedEnc, 3);
    DesDecryptBlocks(key.data(), plain.data(), expectedDec, 3);

    for (unsigned i = 0; i <= 8; ++i) {
        SCOPED_TRACE(i < 8 ? "key byte " + std::to_string(i) : std::string("all key bytes"));
        std::vector<std::uint8_t> flipped = key;
        for (unsigned j = 0; j < 8; ++j) {
            if (i == 8 || i == j) flipped[j] ^= 0x01;
        }
        std::uint8_t out[24];
        DesEncryptBlocks(flipped.data(), plain.data(), out, 3);
        EXPECT_EQ(ToHex(out, 24), ToHex(expectedEnc, 24));
        DesDecryptBlocks(flipped.data(), plain.data(), out, 3);
        EXPECT_EQ(ToHex(out, 24), ToHex(expectedDec, 24));
    }
}

TEST(Des, CountZeroTouchesNeitherBuffer) {
    const std::uint8_t key[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    std::uint8_t out[8];
    std::memset(out, 0xA5, sizeof out);

    // A null input shows that nothing is read either.
    DesEncryptBlocks(key, nullptr, out, 0);
    EXPECT_EQ(ToHex(out, 8), "A5A5A5A5A5A5A5A5");
    DesDecryptBlocks(key, nullptr, out, 0);
    EXPECT_EQ(ToHex(out, 8), "A5A5A5A5A5A5A5A5");
}

TEST(Des, BlocksAreEncipheredEachOnItsOwn) {
    const std::vector<std::uint8_t> key = FromHex("133457799BBCDFF1");
    const std::vector<std::uint8_t> input = FromHex("0123456789ABCDEF 0123456789ABCDEF 0123456789ABCDEF");
    std::uint8_t out[25];
    std::memset(out, 0x5A, sizeof out);

    DesEncryptBlocks(key.data(), input.data(), out, 3);
    EXPECT_EQ(ToHex(out, 24), "85E813540F0AB405" "85E813540F0AB405" "85E813540F0AB405");
    EXPECT_EQ(out[24], 0x5A) << "the byte after the last block was written";

    std::uint8_t back[25];
    std::memset(back, 0x5A, sizeof back);
    DesDecryptBlocks(key.data(), out, back, 3);
    EXPECT_EQ(ToHex(back, 24), ToHex(input));
    EXPECT_EQ(back[24], 0x5A) << "the byte after the last block was written";
}

TEST(Des, InPlaceEqualsSeparateBuffers) {
    const std::vector<std::uint8_t> key = FromHex("0E329232EA6D0D73");
    const std::vector<std::uint8_t> input = FromHex("8787878787878787 0000000000000000 FFFFFFFFFFFFFFFF");

    std::uint8_t separate[24];
    DesEncryptBlocks(key.data(), input.data(), separate, 3);
    std::vector<std::uint8_t> inPlace = input;
    DesEncryptBlocks(key.data(), inPlace.data(), inPlace.data(), 3);
    EXPECT_EQ(ToHex(inPlace), ToHex(separate, 24)) << "encrypt";

    DesDecryptBlocks(key.data(), input.data(), separate, 3);
    inPlace = input;
    DesDecryptBlocks(key.data(), inPlace.data(), inPlace.data(), 3);
    EXPECT_EQ(ToHex(inPlace), ToHex(separate, 24)) << "decrypt";
}

TEST(Des, DecryptUndoesEncryptForRandomKeysAndCounts) {
    std::mt19937 random(20240601u);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> blocks(1, 40);

    for (int trial = 0; trial < 200; ++trial) {
        std::uint8_t key[8];
        for (std::uint8_t& b : key) b = static_cast<std::uint8_t>(byte(random));
        const std::uint16_t count = static_cast<std::uint16_t>(blocks(random));
        std::vector<std::uint8_t> plain(count * kDesBlockSize);
        for (std::uint8_t& b : plain) b = static_cast<std::uint8_t>(byte(random));

        std::vector<std::uint8_t> cipher(plain.size());
        std::vector<std::uint8_t> back(plain.size());
        DesEncryptBlocks(key, plain.data(), cipher.data(), count);
        DesDecryptBlocks(key, cipher.data(), back.data(), count);
        ASSERT_EQ(ToHex(back), ToHex(plain)) << "key " << ToHex(key, 8) << ", count " << count;
    }
}

TEST(DesTables, LastRoundKeySelectionIsPc1) {
    for (unsigned i = 0; i < 56; ++i) {
        SCOPED_TRACE("selector " + std::to_string(i));
        const unsigned bit = kFipsPc1[i] - 1u;
        EXPECT_EQ(kDesRoundKeySelection[15][i].byteIndex, bit / 8);
        EXPECT_EQ(kDesRoundKeySelection[15][i].mask, 0x80u >> (bit % 8));
    }
}

TEST(DesTables, RoundKeySelectionsNameEachKeyBitOnceAndNoParityBit) {
    for (unsigned r = 0; r < 16; ++r) {
        SCOPED_TRACE("table " + std::to_string(r));
        std::uint8_t seen[8] = {};
        for (const BitSelector& s : kDesRoundKeySelection[r]) {
            ASSERT_LT(s.byteIndex, 8u);
            EXPECT_NE(s.mask, 0x01u) << "parity bit of key byte " << unsigned{s.byteIndex};
            EXPECT_EQ(s.mask & (s.mask - 1u), 0u) << "mask with more than one bit";
            EXPECT_EQ(seen[s.byteIndex] & s.mask, 0u) << "key bit named twice";
            seen[s.byteIndex] = static_cast<std::uint8_t>(seen[s.byteIndex] | s.mask);
        }
        for (unsigned b = 0; b < 8; ++b) EXPECT_EQ(seen[b], 0xFEu) << "key byte " << b;
    }
}

struct PermuteCase {
    const char* name;
    std::uint16_t count;
    unsigned bytesWritten;
};

TEST(PermuteBits, WritesWholeBytesReplacingTheirContent) {
    // Selector i names source bit i: the identity, so the source comes back.
    BitSelector identity[16];
    for (unsigned i = 0; i < 16; ++i) {
        identity[i] = BitSelector{static_cast<std::uint8_t>(i / 8),
                                  static_cast<std::uint8_t>(0x80u >> (i % 8))};
    }
    const std::uint8_t source[2] = {0xA6, 0x3C};
    const PermuteCase cases[] = {
        {"zero bits", 0, 0},
        {"rounded up to a whole byte", 5, 1},
        {"one byte", 8, 1},
        {"two bytes", 16, 2},
    };
    for (const PermuteCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t destination[3] = {0xFF, 0xFF, 0xFF};
        PermuteBits(c.count, identity, source, destination);
        for (unsigned i = 0; i < 3; ++i) {
            const std::uint8_t expected = i < c.bytesWritten ? source[i] : 0xFF;
            EXPECT_EQ(destination[i], expected) << "byte " << i;
        }
    }
}

TEST(PermuteBits, OutputBitIFollowsSelectorI) {
    // Reverses a byte: output bit i is source bit 7 - i.
    BitSelector reverse[8];
    for (unsigned i = 0; i < 8; ++i) {
        reverse[i] = BitSelector{0, static_cast<std::uint8_t>(0x01u << i)};
    }
    const std::uint8_t source[1] = {0x1D};  // 00011101
    std::uint8_t destination[1] = {0};
    PermuteBits(8, reverse, source, destination);
    EXPECT_EQ(destination[0], 0xB8);  // 10111000
}

}  // namespace
