// Running the velk binary from tests, and small file helpers.
#pragma once

#include <string>
#include <vector>

namespace velk::test {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output, raw bytes
    std::string err;  // standard error, raw bytes
    long maxRssKb = 0;  // peak resident memory of the process (and what it waited for)
};

// Runs velk with args in a new session (no controlling terminal, so key waits
// return at once) and standard input from /dev/null.
RunResult runVelk(const std::vector<std::string>& args);

// Runs a /bin/sh script the same way, with $VELK naming the binary: for
// pipelines and redirections.
RunResult runShell(const std::string& script);

// One command over an input file: velk `options` (command word and three
// numbers) input output [pattern] [more...]. The pattern, when not empty, is
// written to a file first. The error log a j2s run names is read and removed.
struct FileRun : RunResult {
    std::string output;  // the output file
    std::string log;     // the j2s error log, if one was kept
};
FileRun runOnFile(const std::vector<std::string>& options, const std::string& input,
                  const std::string& pattern = "", const std::vector<std::string>& more = {});

// The driver's closing line for a result under optLog 1.
std::string exitLine(long result);

// Lowercase hex SHA-256 of bytes.
std::string sha256Hex(const std::string& bytes);

// A fresh empty directory for one test, removed at exit.
std::string makeTempDir();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace velk::test
