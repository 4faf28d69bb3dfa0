#include "cli/CliRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TempTree.h"

namespace stowra::test {

CliResult RunCli(const std::vector<std::string>& args, const std::string& input,
                 const std::vector<std::string>& environment) {
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        variables.emplace_back(*v);
    }
    for (const std::string& change : environment) {
        const std::string name = change.substr(0, change.find('=')) + "=";
        std::erase_if(variables, [&](const std::string& v) { return v.starts_with(name); });
        if (change.find('=') != std::string::npos) {
            variables.push_back(change);
        }
    }
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    TempTree io;
    io.Write("in", input);
    std::string outPath = io.Path("out"), errPath = io.Path("err"), inPath = io.Path("in");
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open(inPath.c_str(), O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        std::string program = STOWRA_CLI;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    CliResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = io.Read("out");
    r.err = io.Read("err");
    return r;
}

}  // namespace stowra::test
