#include "carve_fixture.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quarry::cli::test {
namespace {

// Reads both pipes until their writer closes them; false if that takes longer than a minute.
bool drain(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* texts[2] = {&out, &err};
    int open = 2;
    for (int waited = 0; open > 0;) {
        const int ready = ::poll(fds, 2, 1000);
        if (ready == 0 && ++waited > 60)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
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

    int outPipe[2], errPipe[2];
    ASSERT_EQ(::pipe(outPipe), 0);
    ASSERT_EQ(::pipe(errPipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::execl(executable.c_str(), "quarry-carve", "--resources", dir.path().c_str(), image.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    // The first line on stderr is the pass label, written once the scan is under way.
    std::string err;
    while (err.find('\n') == std::string::npos) {
        char c;
        if (::read(errPipe[0], &c, 1) != 1)
            break;
        err += c;
    }
    ASSERT_NE(err.find("General Recovery Procedure"), std::string::npos) << err;
    ASSERT_EQ(::kill(child, SIGINT), 0);

    std::string out;
    const bool ended = drain(outPipe[0], errPipe[0], out, err);
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    ASSERT_TRUE(ended) << "the scan did not stop";
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(out.find("stopped"), std::string::npos) << out;
}

} // namespace
} // namespace quarry::cli::test
