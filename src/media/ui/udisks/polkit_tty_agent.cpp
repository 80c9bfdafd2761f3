#include "media/ui/udisks/polkit_tty_agent.h"

#include "common/unique_fd.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quarry::udisks {

PolkitTtyAgent::~PolkitTtyAgent() {
    if (agent_ > 0) {
        ::kill(agent_, SIGTERM);
        ::waitpid(agent_, nullptr, 0);
    }
}

void PolkitTtyAgent::ensureStarted() {
    std::call_once(started_, [this] {
        int ends[2];
        if (::isatty(STDIN_FILENO) != 1 || ::pipe2(ends, O_CLOEXEC) != 0)
            return;
        const UniqueFd ready(ends[0]);
        UniqueFd notify(ends[1]);
        // The agent gets the write end as its only inherited descriptor besides the terminal.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, notify.get(), 3);
        const std::string pid = std::to_string(::getpid());
        char* const argv[] = {const_cast<char*>("pkttyagent"),
                              const_cast<char*>("--process"),
                              const_cast<char*>(pid.c_str()),
                              const_cast<char*>("--fallback"),
                              const_cast<char*>("--notify-fd"),
                              const_cast<char*>("3"),
                              nullptr};
        if (::posix_spawnp(&agent_, "pkttyagent", &actions, nullptr, argv, environ) != 0)
            agent_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        notify.reset();
        // It closes its end once registered, or dies trying; either way the read ends.
        char byte = 0;
        while (agent_ > 0 && ::read(ready.get(), &byte, 1) > 0) {
        }
    });
}

} // namespace quarry::udisks
