#include "carve_fixture.h"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quarry::cli::test {
namespace {

// Asks `done` every 10 ms, for at most a minute.
bool withinAMinute(const std::function<bool()>& done) {
    for (int i = 0; i < 6000; ++i) {
        if (done())
            return true;
        ::usleep(10000);
    }
    return false;
}

// The real executable on a sparse medium far too large to finish: SIGINT during the scan acts
// as Stop, and the run ends normally with the status "stopped".
TEST(StopSignal, SigintStopsALongScan) {
    TempDir dir;
    const auto image = dir.path() / "huge.img";
    writeFile(image, std::string(1, '\0'));
    fs::resize_file(image, std::uintmax_t{1} << 40);
    DefinitionSet set;
    set.photo = {{"jpg", "10485760", "ffd8ff", "1", "JPEG picture"}};
    writeDefinitions(dir.path(), set);
    const auto executable = fs::path(QUARRY_TEST_BIN_DIR) / "quarry-carve";
    ASSERT_TRUE(fs::exists(executable));

    // Files, not pipes: the carver never waits for a reader.
    const auto outFile = dir.path() / "out.txt";
    const auto errFile = dir.path() / "err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> args{"quarry-carve", "--resources", dir.path().string(), image.string()};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);

    // The first line on stderr is the pass label, written once the scan is under way.
    const bool started = withinAMinute([&] { return readText(errFile).find('\n') != std::string::npos; });
    const auto head = readText(errFile);
    const bool scanning =
        started && head.substr(0, head.find('\n')).find("General Recovery Procedure") != std::string::npos;
    ASSERT_EQ(::kill(child, scanning ? SIGINT : SIGKILL), 0);
    int status = 0;
    const bool ended = withinAMinute([&] { return ::waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    const auto err = readText(errFile);
    ASSERT_TRUE(scanning) << err;
    ASSERT_TRUE(ended) << "the scan did not stop";
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(readText(outFile).find("stopped"), std::string::npos) << readText(outFile);
}

} // namespace
} // namespace quarry::cli::test
