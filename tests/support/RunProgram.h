#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TempDir.h"

// Runs a built program as a user would, in its own folder and environment,
// and collects what it wrote on each stream.
namespace kavelo::test {

struct ProgramRun {
    int code = -1;  // exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// `environment` replaces the whole environment (nothing is inherited).
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& folder,
                             const std::map<std::string, std::string>& environment) {
    TempDir streams;
    const std::string outPath = (streams.path() / "out").string();
    const std::string errPath = (streams.path() / "err").string();
    std::vector<std::string> env;
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(folder.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    ProgramRun run;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    return run;
}

}  // namespace kavelo::test
