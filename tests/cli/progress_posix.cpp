// varno's bar on a terminal, for one picture and for a batch: it only moves forward and ends at 100 %.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "varno_program.h"

namespace {

using namespace varnotest;

TEST(VarnoProgress, TheBarOnlyMovesForwardAndEndsAtTheWhole) {
    for (const auto& [pictures, options] : {std::pair{1, "-m fine"}, {1, "-m traditional"}, {3, "-m smoother -j 1"}, {4, "-m variable -j 3"}}) {
        DriveC drive;
        std::string command = Quote(VARNO_PROGRAM_PATH) + " select -o " + Quote(drive.Temp("out/")) + " " + options;
        for (int i = 0; i < pictures; ++i) {
            const std::string picture = drive.Temp(std::to_string(i) + ".png");
            ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 300x200 --seed " + std::to_string(i + 1)).status, 0);
            command.append(" ").append(Quote(picture));
        }
        // util-linux's script gives varno a terminal and copies what it draws there into a file.
        const std::string terminal = drive.Temp("terminal.txt");
        ASSERT_EQ(std::system(("script -qec \"" + command + "\" /dev/null </dev/null >" + Quote(terminal)).c_str()), 0) << options;
        const std::vector<uint8_t> bytes = hosttest::ReadBytes(terminal);
        const std::string text(bytes.begin(), bytes.end());
        std::vector<int> percents;
        // Each drawing of the bar is "\r[###...] NN%", after the label of a batch ("file 2/3 ").
        for (size_t at = text.find(']'); at != std::string::npos; at = text.find(']', at + 1)) percents.push_back(std::atoi(&text[at + 1]));
        ASSERT_FALSE(percents.empty()) << options << "\n" << text;
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << options << "\n" << text;
        EXPECT_EQ(percents.back(), 100) << options << "\n" << text;
    }
}

}  // namespace
