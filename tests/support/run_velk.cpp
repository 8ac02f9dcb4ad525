#include "support/run_velk.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velk::test {

constexpr auto kEveryoneReadsAndRuns = static_cast<std::filesystem::perms>(0755);

std::string makeTempDir() {
    // One directory for the whole test program, removed at exit.
    static const struct Root {
        std::string path;
        Root() {
            char name[] = "/tmp/velk-test-XXXXXX";
            if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
            path = name;
            // Open to every user: some runs drop to an unprivileged one.
            std::filesystem::permissions(path, kEveryoneReadsAndRuns);
        }
        ~Root() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } root;
    static std::atomic<int> counter{0};  // tests may run velk from several threads
    std::string dir = root.path + "/t" + std::to_string(++counter);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

namespace {

RunResult runInSession(std::vector<std::string> argv, const std::string& velkVar,
                       const std::string& logDir = "") {
    const std::string dir = makeTempDir();
    const std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    // Built before the fork: other threads may be running velk too.
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid();
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (!velkVar.empty()) setenv("VELK", velkVar.c_str(), 1);
        if (!logDir.empty()) setenv("VELK_LOG_DIR", logDir.c_str(), 1);
        execv(args[0], args.data());
        _exit(127);
    }
    int wstatus = 0;
    struct rusage usage {};
    while (wait4(pid, &wstatus, 0, &usage) < 0) {
    }
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    r.maxRssKb = usage.ru_maxrss;
    std::filesystem::remove_all(dir);
    return r;
}

}  // namespace

RunResult runVelk(const std::vector<std::string>& args) {
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), VELK_BINARY);
    return runInSession(std::move(argv), "");
}

RunResult runShell(const std::string& script) { return runInSession({"/bin/sh", "-c", script}, VELK_BINARY); }

FileRun runOnFile(const std::vector<std::string>& options, const std::string& input,
                  const std::string& pattern, const std::vector<std::string>& more) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in", input);
    std::vector<std::string> args = options;
    args.push_back(dir + "/in");
    args.push_back(dir + "/out");
    if (!pattern.empty()) {
        writeFile(dir + "/p.ptn", pattern);
        args.push_back(dir + "/p.ptn");
    }
    args.insert(args.end(), more.begin(), more.end());
    FileRun r;
    // A log of its own: runs of other test programs share the binary's folder.
    args.insert(args.begin(), VELK_BINARY);
    static_cast<RunResult&>(r) = runInSession(std::move(args), "", dir);
    r.output = readFile(dir + "/out");
    // The notice is "\n\n" + path + the text below.
    if (auto at = r.err.find("に変換エラーのログを出力しました。"); at != std::string::npos) {
        const std::string log = r.err.substr(2, at - 2);
        r.log = readFile(log);
        std::remove(log.c_str());
    }
    return r;
}

std::string exitLine(long result) { return "\n終了コードは " + std::to_string(result) + " です\n\n"; }

std::string sha256Hex(const std::string& bytes) {
    const std::string path = makeTempDir() + "/data";
    writeFile(path, bytes);
    return runShell("sha256sum " + path).out.substr(0, 64);
}

}  // namespace velk::test
