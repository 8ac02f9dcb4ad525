#include "support/run_velk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace velk::test {

namespace {

struct TempRoot {
    std::string path;
    TempRoot() {
        char tmpl[] = "/tmp/velk-test-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

TempRoot& tempRoot() {
    static TempRoot root;
    return root;
}

}  // namespace

std::string velkBinary() { return VELK_BINARY; }

std::string velkDir() { return std::filesystem::path(VELK_BINARY).parent_path().string(); }

std::string makeTempDir() {
    static std::atomic<int> counter{0};  // runVelk may be called from several threads
    std::string dir = tempRoot().path + "/t" + std::to_string(++counter);
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

RunResult runVelk(const std::vector<std::string>& args) {
    std::string dir = makeTempDir();
    std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setsid();
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        std::string bin = velkBinary();
        argv.push_back(bin.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(bin.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
    }
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    std::filesystem::remove_all(dir);
    return r;
}

}  // namespace velk::test
