// A stop signal at a chosen moment of varno select: caught by watching the files varno touches,
// with varno frozen (SIGSTOP) while the signal is sent, so that the moment is known.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

#include "varno_program.h"

extern char** environ;

namespace {

using namespace varnotest;

std::vector<std::string> Temporaries(const std::string& directory) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().extension() == ".tmp") found.push_back(entry.path().string());
    return found;
}

// Starts varno with the stop signals at their defaults (whatever the test runner ignores) and its
// output streams in `log`.
pid_t Start(const std::vector<std::string>& arguments, const std::string& log) {
    std::vector<char*> argv;
    std::string program = VARNO_PROGRAM_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Whether the process has a file open whose path ends with `suffix`.
bool HoldsOpen(pid_t pid, const std::string& suffix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.size() >= suffix.size() && target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0)
            return true;
    }
    return false;
}

// Events of `mask` in `directory`, watched from before varno starts.
int Watch(const std::string& directory, uint32_t mask) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watch, directory.c_str(), mask);
    return watch;
}

// At each watched event on a name ending with `suffix`, freezes `pid` and looks: returns true,
// leaving it frozen, once `frozenWhile` holds (events arrive late, so the moment is checked on the
// frozen process itself); false when varno ends first. Closes `watch`.
template <typename Condition>
bool FreezeWhen(pid_t pid, int watch, const std::string& suffix, Condition frozenWhile) {
    alignas(inotify_event) char buffer[4096];
    bool frozen = false;
    for (int waited = 0; !frozen && waited < 60000;) {
        pollfd ready = {watch, POLLIN, 0};
        if (poll(&ready, 1, 10) <= 0) {
            waited += 10;
            siginfo_t ended = {};
            if (waitid(P_PID, id_t(pid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid == pid) break;
            continue;
        }
        const ssize_t length = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length && !frozen;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const std::string name = event->len ? event->name : "";
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            kill(pid, SIGSTOP);
            siginfo_t stopped = {};
            waitid(P_PID, id_t(pid), &stopped, WSTOPPED | WNOWAIT);
            if (frozenWhile()) frozen = true;
            else kill(pid, SIGCONT);
        }
    }
    close(watch);
    return frozen;
}

TEST(VarnoSignals, NoTemporaryFileAndEveryOutputWholeOrAsItWas) {
    enum Moment { kRunning, kWriting, kSaving };  // the plug-in computing, an output on its way, the plug-in's save
    struct Case {
        const char* what;
        int signal;
        Moment moment;
        int pictures;
        const char* size;  // large enough for a write to last a moment (and the stop to come before the end)
        int second;        // a second request right after the first (0: none)
    };
    const Case cases[] = {
        {"SIGINT while the plug-in runs", SIGINT, kRunning, 1, "1200x800", 0},
        {"SIGTERM while writing, two pictures at once", SIGTERM, kWriting, 3, "2400x1800", 0},
        {"SIGINT while the plug-in saves its preferences", SIGINT, kSaving, 1, "1200x800", 0},
        {"SIGINT and SIGTERM while the plug-in saves", SIGINT, kSaving, 1, "1200x800", SIGTERM},
    };
    for (const Case& c : cases) {
        // On a loaded machine the watched moment can pass before the event is read; varno then ends
        // normally, which says nothing about signals, so the case starts over (a few times at most).
        for (int attempt = 1;; ++attempt) {
            DriveC drive;
            const std::string out = drive.Temp("out/"), log = drive.Temp("log.txt");
            std::filesystem::create_directories(out);
            // A run before: the plug-in opens an existing preferences file at its start and holds it
            // until it ends (a first run has none to hold).
            const std::string first = drive.Temp("first.png");
            ASSERT_EQ(Varno(drive, "sample " + Quote(first) + " --size 20x20").status, 0);
            hosttest::WriteBytes(drive.Path("VEXAlog.txt"), {});
            ASSERT_EQ(Varno(drive, "select " + Quote(first) + " -m fine -r 1 --quiet").status, 0);
            const std::vector<uint8_t> preferences = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
            const std::vector<uint8_t> runLog = hosttest::ReadBytes(drive.Path("VEXAlog.txt"));
            const bool duringRun = c.moment != kWriting;
            std::vector<std::string> arguments = {"select"};
            for (int i = 0; i < c.pictures; ++i) {
                const std::string picture = drive.Temp("p" + std::to_string(i) + ".bmp");
                ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size " + c.size + " --seed " + std::to_string(i)).status, 0);
                hosttest::WriteBytes(out + "p" + std::to_string(i) + "-selection.png", {'o', 'l', 'd'});
                arguments.push_back(picture);
            }
            for (const char* argument : {"-o", out.c_str(), "-m", "variable", "-r", "3", "-j", "2", "--quiet"})
                arguments.push_back(argument);

            const std::string saved = drive.Path("QUENpref.xxx.new");
            const int watch = c.moment == kRunning   ? Watch(drive.Path(""), IN_OPEN)
                              : c.moment == kSaving ? Watch(drive.Path(""), IN_CREATE)
                                                    : Watch(out, IN_CREATE);
            const pid_t pid = Start(arguments, log);
            ASSERT_GT(pid, 0);
            // The plug-in holds its preferences file open exactly while it runs; its save writes the
            // new file after its last abort test.
            const bool frozen =
                c.moment == kRunning  ? FreezeWhen(pid, watch, "QUENpref.xxx", [&] { return HoldsOpen(pid, "QUENpref.xxx"); })
                : c.moment == kSaving ? FreezeWhen(pid, watch, ".new", [&] { return std::filesystem::exists(saved); })
                                      : FreezeWhen(pid, watch, ".tmp", [&] { return !Temporaries(out).empty(); });
            if (!frozen) {
                int ended = 0;
                waitpid(pid, &ended, 0);
                ASSERT_LT(attempt, 5) << c.what << ": the moment passed unseen in every attempt";
                continue;
            }
            kill(pid, c.signal);
            if (c.second) kill(pid, c.second);
            kill(pid, SIGCONT);
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            // Two requests: the second ends varno at once, unless the run returned in between.
            EXPECT_TRUE(WIFSIGNALED(status) && (WTERMSIG(status) == c.signal || WTERMSIG(status) == c.second))
                << c.what << ": status " << status;

            const std::vector<uint8_t> text = hosttest::ReadBytes(log);
            EXPECT_NE(std::string(text.begin(), text.end()).find("varno: interrupted"), std::string::npos) << c.what;
            EXPECT_TRUE(Temporaries(out).empty()) << c.what;
            for (int i = 0; i < c.pictures; ++i) {
                const std::string output = out + "p" + std::to_string(i) + "-selection.png";
                const std::vector<uint8_t> bytes = hosttest::ReadBytes(output);
                // A stop during the run ends before anything is written; one while writing may come
                // after an output was complete.
                if (duringRun || bytes == std::vector<uint8_t>{'o', 'l', 'd'}) {
                    EXPECT_EQ(bytes, (std::vector<uint8_t>{'o', 'l', 'd'})) << c.what << ": " << output;
                } else {
                    Document document;
                    ASSERT_EQ(varno::ReadImageFile(arguments[size_t(i) + 1], &document), "");
                    EXPECT_EQ(GreyPlane(output), LibraryMask(document, 7, 3)) << c.what << ": " << output;
                }
            }
            // The plug-in's preferences are never cut short, and its own new file is not left behind;
            // a run stopped before its selection was written leaves them and the log as they were.
            EXPECT_EQ(hosttest::ReadBytes(drive.Path("QUENpref.xxx")).size(), 53248u) << c.what;
            EXPECT_FALSE(std::filesystem::exists(saved)) << c.what;
            if (duringRun) {
                EXPECT_EQ(hosttest::ReadBytes(drive.Path("QUENpref.xxx")), preferences) << c.what;
                EXPECT_EQ(hosttest::ReadBytes(drive.Path("VEXAlog.txt")), runLog) << c.what;
            }
            break;
        }
    }
}

}  // namespace
