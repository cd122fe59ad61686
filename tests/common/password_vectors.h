// Password codes computed with an independent DES (OpenSSL's, by
// make-password-vectors beside this file). The native and the Windows tests
// require the library to give the same.
#pragma once

struct PasswordVector {
    const char* key;
    const char* access;  // nullptr: a QV_DESEncrypt code; else QV_DESEncryptData
    const char* password;
    const char* code;
};

inline constexpr PasswordVector kPasswordVectors[] = {
    {"", nullptr, "",
     "2,-69,-15,-65,-75,-41,-55,59,42,-50,-88,118,63,-120,-77,-53,42,-50,-88,118,63,-120,-77,-53"},
    {"k3y", nullptr, "hello",
     "-77,117,64,1,84,-89,-86,110,64,-80,-103,-121,-96,-56,-64,34,64,-80,-103,-121,-96,-56,-64,34"},
    {"abcdefgh", nullptr, "secret",
     "-91,-124,63,-39,-44,-4,94,-46,98,49,-59,77,-15,-62,-26,-3,98,49,-59,77,-15,-62,-26,-3"},
    {"*bcdefg*", nullptr, "starred",
     "78,23,110,66,-101,95,-27,38,-15,-29,-105,-108,37,-15,106,-93,-15,-29,-105,-108,37,-15,106,-93"},
    {"Setup*Key", nullptr, "Tr0ub4dor&3",
     "85,102,10,-64,6,65,-108,101,-49,37,51,-63,-18,99,12,-41,10,-57,-32,-98,60,-72,41,92"},
    {"KEY", nullptr, "abcdefghijklmnopqrstuvw",
     "84,-103,-59,64,8,-91,-117,-106,46,-75,72,-59,59,20,-119,-31,-115,-23,-94,59,34,91,-61,-20"},
    {"key", nullptr, "abcdefghijklmnopqrstuvwx",
     "-85,-74,-17,6,-11,84,-86,49,-11,2,82,28,46,52,-89,-92,-109,44,-3,-4,5,78,8,-41"},
    {"\xe9""t\xe9""", nullptr, "caf\xe9"" \xff""",
     "10,-43,-37,-61,-26,-57,-83,10,18,-30,44,30,46,-110,-98,-27,18,-30,44,30,46,-110,-98,-27"},
    {"Setup*Key", "open sesame", "master of all",
     "-54,115,-97,27,96,10,10,-47,77,-70,13,-103,119,26,101,-39,-37,-104,47,-61,-13,-68,-122,54"},
    {"K", "ab", "x",
     "-21,120,-70,105,-76,-46,7,-35,118,-81,60,-28,117,7,85,119,118,-81,60,-28,117,7,85,119"},
    {"*L*", "abcd", "pw",
     "-19,28,112,-15,8,-97,8,95,112,-93,-85,-104,51,-34,-77,31,112,-93,-85,-104,51,-34,-77,31"},
};
