// Writes the seed corpus of the PNG fuzzer: one small valid image of every
// colour type and depth, into the folder named on the command line.
#include <cstdio>
#include <string>

#include "tests/raster/png_test_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: png_seed_generator FOLDER\n");
        return 2;
    }
    int written = 0;
    for (const auto& [name, bytes] : rastertest::SeedImages()) {
        const std::string path = std::string(argv[1]) + "/" + name + ".png";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 1;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && !bytes.empty();
        std::fclose(f);
        if (!ok) return 1;
        ++written;
    }
    std::printf("%d seed images in %s\n", written, argv[1]);
    return 0;
}
