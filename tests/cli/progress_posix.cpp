// varno's bar on a terminal: for one picture and for a batch it only moves forward and ends at 100 %.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "varno_program.h"

namespace {

using namespace varnotest;

// What varno writes to a terminal (stdout and stderr both) while it runs.
std::string OnTerminal(const std::string& arguments) {
    const std::string command = Quote(VARNO_PROGRAM_PATH) + " " + arguments;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string text;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = read(terminal, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    int status = -1;
    if (child > 0) waitpid(child, &status, 0);
    if (terminal >= 0) close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    return text;
}

TEST(VarnoProgress, TheBarOnlyMovesForwardAndEndsAtTheWhole) {
    struct Case {
        int pictures;
        const char* options;
    };
    for (const Case& c : {Case{1, "-m fine"}, Case{1, "-m traditional"}, Case{3, "-m smoother -j 1"}, Case{4, "-m variable -j 3"}}) {
        DriveC drive;
        std::string inputs;
        for (int i = 0; i < c.pictures; ++i) {
            const std::string picture = drive.Temp("p" + std::to_string(i) + ".png");
            ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 300x200 --seed " + std::to_string(i + 1)).status, 0);
            inputs += " " + Quote(picture);
        }
        const std::string text = OnTerminal("select" + inputs + " -o " + Quote(drive.Temp("out/")) + " " + c.options);
        std::vector<int> percents;
        const std::regex percent("([0-9]+)%");
        for (std::sregex_iterator it(text.begin(), text.end(), percent), end; it != end; ++it) percents.push_back(std::stoi((*it)[1]));
        ASSERT_FALSE(percents.empty()) << c.options << "\n" << text;
        for (size_t i = 1; i < percents.size(); ++i) EXPECT_LE(percents[i - 1], percents[i]) << c.options << " at " << i << "\n" << text;
        EXPECT_EQ(percents.back(), 100) << c.options << "\n" << text;
    }
}

}  // namespace
