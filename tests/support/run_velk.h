// Running the velk binary from tests, and small file helpers.
#pragma once

#include <string>
#include <vector>

namespace velk::test {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output, raw bytes
    std::string err;  // standard error, raw bytes
};

// Runs velk with args in a new session (no controlling terminal, so key waits
// return at once) and standard input from /dev/null.
RunResult runVelk(const std::vector<std::string>& args);

// Path of the built binary and its directory (where error logs go).
std::string velkBinary();
std::string velkDir();

// A fresh empty directory for one test, removed at exit.
std::string makeTempDir();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace velk::test
