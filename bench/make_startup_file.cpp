// Writes the benchmarks' generated startup file: make_startup_file PATH MIB
#include <cstdio>
#include <cstdlib>
#include <string>

#include "startup_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_startup_file PATH MIB\n");
        return 2;
    }
    const long mib = std::strtol(argv[2], nullptr, 10);
    if (mib <= 0 || mib > 4096) {
        std::fprintf(stderr, "make_startup_file: MIB must be 1 to 4096\n");
        return 2;
    }
    const std::string file = bench::MakeStartupFile(static_cast<std::size_t>(mib) << 20);
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "make_startup_file: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
