#include "cli/CliRunner.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Text.h"
#include "support/TempTree.h"

namespace stowra::test {

std::string Utf8(const std::string& native) {
#ifdef _WIN32
    std::string utf8;
    return AnsiToUtf8(native, utf8) ? utf8 : native;
#else
    return native;
#endif
}

#ifdef _WIN32
namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

// The build names the program by its Linux path; wine's drive Z: is the Linux root.
std::string ProgramPath() {
    std::string path = STOWRA_CLI;
    if (path.starts_with('/')) {
        path.insert(0, "Z:");
    }
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::string& input,
                 const std::vector<std::string>& environment) {
    std::vector<std::string> variables;
    char* block = ::GetEnvironmentStringsA();
    for (const char* v = block; *v != '\0'; v += std::strlen(v) + 1) {
        variables.emplace_back(v);
    }
    ::FreeEnvironmentStringsA(block);
    for (const std::string& change : environment) {
        const std::string name = change.substr(0, change.find('=')) + "=";
        std::erase_if(variables, [&](const std::string& v) { return v.starts_with(name); });
        if (change.find('=') != std::string::npos) {
            variables.push_back(change);
        }
    }
    std::string envBlock;
    for (const std::string& v : variables) {
        envBlock += v;
        envBlock += '\0';
    }
    envBlock += '\0';
    TempTree io;
    io.Write("in", input);
    HANDLE in = Inheritable(io.Path("in"), GENERIC_READ, OPEN_EXISTING);
    HANDLE out = Inheritable(io.Path("out"), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = Inheritable(io.Path("err"), GENERIC_WRITE, CREATE_ALWAYS);
    std::string program = ProgramPath();
    std::string commandLine = Quote(program);
    for (const std::string& a : args) {
        commandLine += ' ' + Quote(a);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    CliResult r;
    if (::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, envBlock.data(),
                         nullptr, &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        r.exitCode = static_cast<int>(code);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    // The console's text mode ends lines in CR LF; the tests compare lines.
    for (std::string* text : {&r.out, &r.err}) {
        *text = io.Read(text == &r.out ? "out" : "err");
        std::erase(*text, '\r');
    }
    return r;
}

#else
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

#endif

}  // namespace stowra::test
