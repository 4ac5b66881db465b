// The fuzzers' seed PNGs, as tests/fuzz/make_seeds.py writes them, are all
// images the decoder reads: a seed libpng refused would start the fuzzer
// from nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "widget/png_decoder.h"

TEST(SeedCorpus, EveryPngSeedDecodes)
{
    std::string dir = std::string("/tmp/scripthost-seeds-") + std::to_string(::getpid());
    std::string cmd = std::string("python3 ") + SCRIPTHOST_SOURCE_DIR + "/tests/fuzz/make_seeds.py " + dir;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string pngs = dir + "/fuzz_png";
    DIR *d = opendir(pngs.c_str());
    ASSERT_NE(d, nullptr);
    int decoded = 0;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 4 || name.substr(name.size() - 4) != ".png")
            continue;
        std::ifstream f(pngs + "/" + name, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        PngDecoder png;
        ASSERT_TRUE(png.decode(bytes.data(), bytes.size())) << name;
        bool onePixel = name == "one_pixel.png";
        EXPECT_EQ(png.width, onePixel ? 1 : 5) << name;
        EXPECT_EQ(png.height, onePixel ? 1 : 3) << name;
        decoded++;
    }
    closedir(d);
    // 15 colour type and bit depth pairs, each plain and interlaced, with and
    // without tRNS, and a single pixel.
    EXPECT_EQ(decoded, 61);
    std::system(("rm -rf " + dir).c_str());
}
