#pragma once
// Permission bits stop nothing for root, and the tests run as root: a test of a folder that may
// not be read or written runs its body in a child process as the unprivileged user "nobody".

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace stowra::test {

// Runs fn in a child process, as "nobody" when the test runs as root, and returns the exit code
// fn gave (90 when the user could not be changed, 100 when the child did not exit normally).
inline int RunAsNobody(const std::function<int()>& fn) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(90);
        }
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

}  // namespace stowra::test
#endif
