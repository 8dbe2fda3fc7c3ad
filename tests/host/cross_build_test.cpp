// The same documents must give the same selection bytes in every build: hashes (FNV-1a, 64 bits)
// of the masks of generated documents, as the native build computed them. Set
// VARNO_PRINT_HASHES=1 to print the table as this build computes it.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "tests/host/host_fixture.h"

namespace {

struct MaskCase {
    int32_t mode, width, height;
    uint32_t seed;
    int32_t method, radius;
    bool selection;
    uint64_t hash;
};

// clang-format off
const MaskCase kCases[] = {
    {1, 41, 29, 1, 3, 2, false, 0x71137db3cb72301eull},
    {1, 41, 29, 1, 4, 2, false, 0x78b6c9478b5cb4bcull},
    {1, 41, 29, 1, 5, 2, false, 0xb31740bba30bd828ull},
    {1, 41, 29, 1, 6, 2, false, 0x71980323460c0950ull},
    {1, 41, 29, 1, 7, 2, false, 0xff1726618db925f3ull},
    {3, 41, 29, 1, 3, 2, false, 0xf2f3d23efbcfe723ull},
    {3, 41, 29, 1, 4, 2, false, 0xc5358d518a82d4c5ull},
    {3, 41, 29, 1, 5, 2, false, 0xc9cc375d22a92918ull},
    {3, 41, 29, 1, 6, 2, false, 0x0396ade53fd2a1e8ull},
    {3, 41, 29, 1, 7, 2, false, 0xaad1892ed71a64baull},
    {4, 41, 29, 1, 3, 2, false, 0x05a4e4b1245c2bddull},
    {4, 41, 29, 1, 4, 2, false, 0xc14dc45824b84ed7ull},
    {4, 41, 29, 1, 5, 2, false, 0x3199fbac511bd535ull},
    {4, 41, 29, 1, 6, 2, false, 0x6e6239e25013099dull},
    {4, 41, 29, 1, 7, 2, false, 0x2679664cc978076aull},
    {9, 41, 29, 1, 3, 2, false, 0x309fcf3e145459e4ull},
    {9, 41, 29, 1, 4, 2, false, 0x9d6d654337455054ull},
    {9, 41, 29, 1, 5, 2, false, 0xa80a7039e05b226bull},
    {9, 41, 29, 1, 6, 2, false, 0x496ee00c1d06f581ull},
    {9, 41, 29, 1, 7, 2, false, 0x9e01274279d9f1e3ull},
    {10, 41, 29, 1, 3, 2, false, 0x71137db3cb72301eull},
    {10, 41, 29, 1, 4, 2, false, 0x78b6c9478b5cb4bcull},
    {10, 41, 29, 1, 5, 2, false, 0xb31740bba30bd828ull},
    {10, 41, 29, 1, 6, 2, false, 0x71980323460c0950ull},
    {10, 41, 29, 1, 7, 2, false, 0xff1726618db925f3ull},
    {11, 41, 29, 1, 3, 2, false, 0xf2f3d23efbcfe723ull},
    {11, 41, 29, 1, 4, 2, false, 0xc5358d518a82d4c5ull},
    {11, 41, 29, 1, 5, 2, false, 0xc9cc375d22a92918ull},
    {11, 41, 29, 1, 6, 2, false, 0x0396ade53fd2a1e8ull},
    {11, 41, 29, 1, 7, 2, false, 0xaad1892ed71a64baull},
    {12, 41, 29, 1, 3, 2, false, 0x309fcf3e145459e4ull},
    {12, 41, 29, 1, 4, 2, false, 0x9d6d654337455054ull},
    {12, 41, 29, 1, 5, 2, false, 0xa80a7039e05b226bull},
    {12, 41, 29, 1, 6, 2, false, 0x496ee00c1d06f581ull},
    {12, 41, 29, 1, 7, 2, false, 0x9e01274279d9f1e3ull},
    {13, 41, 29, 1, 3, 2, false, 0x05a4e4b1245c2bddull},
    {13, 41, 29, 1, 4, 2, false, 0xc14dc45824b84ed7ull},
    {13, 41, 29, 1, 5, 2, false, 0x3199fbac511bd535ull},
    {13, 41, 29, 1, 6, 2, false, 0x6e6239e25013099dull},
    {13, 41, 29, 1, 7, 2, false, 0x2679664cc978076aull},
    {1, 41, 29, 2, 7, 1, true, 0xd28222312e431965ull},
    {1, 41, 29, 2, 7, 3, true, 0xc65982343e7e85a4ull},
    {3, 41, 29, 2, 7, 1, true, 0x8f493955026c55ccull},
    {3, 41, 29, 2, 7, 3, true, 0x71813c8fa81b2161ull},
    {3, 1, 1, 3, 5, 2, false, 0x44bd3bd473cd12c9ull},
    {3, 1, 1, 3, 7, 2, false, 0x44bcd6d473cc672aull},
    {3, 2, 2, 3, 5, 2, false, 0x8c2a43a49ddf29efull},
    {3, 2, 2, 3, 7, 2, false, 0x9451e56fea4094d5ull},
    {3, 3, 3, 3, 5, 2, false, 0xd3169ec01663c820ull},
    {3, 3, 3, 3, 7, 2, false, 0x4f84e7ad322e12a0ull},
    {3, 1, 9, 3, 5, 2, false, 0x0664d3bc0e1f9778ull},
    {3, 1, 9, 3, 7, 2, false, 0xe3adadc8e4f732b9ull},
    {3, 9, 1, 3, 5, 2, false, 0x32a4915bcb03113cull},
    {3, 9, 1, 3, 7, 2, false, 0x626883082e955731ull},
    {3, 17, 5, 3, 5, 2, false, 0x9d036204bb8c7b19ull},
    {3, 17, 5, 3, 7, 2, false, 0x99b1edc99239a3c8ull},
};
// clang-format on

uint64_t MaskHash(const MaskCase& c, int16_t* result) {
    hosttest::DriveC drive;
    varno::Document document = varno::MakeTestDocument(c.mode, c.width, c.height, c.seed);
    std::string error;
    if (c.selection) varno::SetSelection(&document, varno::MakeTestSelection(c.width, c.height), &error);
    *result = hosttest::RunLoaded(&document, hosttest::Play(c.method, c.radius)).result;
    return hosttest::Hash(document.selection);
}

TEST(CrossBuild, MasksAreTheNativeBuildsBytes) {
    const bool print = std::getenv("VARNO_PRINT_HASHES") != nullptr;
    ASSERT_GT(sizeof kCases / sizeof kCases[0], 0u);
    for (const MaskCase& c : kCases) {
        int16_t result = 0;
        const uint64_t hash = MaskHash(c, &result);
        char line[160];
        std::snprintf(line, sizeof line, "    {%d, %d, %d, %u, %d, %d, %s, 0x%016" PRIx64 "ull},", int(c.mode), int(c.width),
                      int(c.height), unsigned(c.seed), int(c.method), int(c.radius), c.selection ? "true" : "false", hash);
        if (print) std::printf("%s\n", line);
        EXPECT_EQ(result, 0) << line;
        EXPECT_EQ(hash, c.hash) << line;
    }
}

}  // namespace
