#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tandrel {

// The outcome of one run of tandrel-cli.
struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The built tandrel-cli followed by `args`, and the argv form of that, ending with nullptr (its
// pointers lead into `words`, so the object is neither copied nor moved).
struct CliCommand {
    explicit CliCommand(const std::vector<std::string>& args);
    CliCommand(const CliCommand&) = delete;
    CliCommand& operator=(const CliCommand&) = delete;
    std::vector<std::string> words;
    std::vector<char*> argv;
};

// Runs the built tandrel-cli with `args` (no shell involved, so any bytes pass through) and the
// environment of the test with `env` ("NAME=value" entries, each in place of the test's own). When
// `interruptAfterFirstLine` is set, SIGINT is sent as soon as the first line has appeared on
// standard output. A non-empty `cwd` is the directory it runs in. `onOutput`, when given, is called
// with what has arrived so far each time more arrives (on the calling thread, while the program
// runs). With `errOnTerminal` its standard error is a pseudo-terminal (whose output `err` holds,
// with every '\n' turned into "\r\n" by the terminal) instead of a pipe.
CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                 bool interruptAfterFirstLine = false, const std::string& cwd = std::string(),
                 const std::function<void(const CliResult&)>& onOutput = nullptr,
                 bool errOnTerminal = false);

// Splits text into lines (without their '\n').
std::vector<std::string> Lines(const std::string& text);

}  // namespace tandrel
