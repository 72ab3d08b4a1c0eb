#pragma once

#include <string>
#include <vector>

namespace tandrel {

// The outcome of one run of tandrel-cli.
struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs the built tandrel-cli with `args` (no shell involved, so any bytes pass through) and the
// environment of the test plus `env` ("NAME=value" entries). When `interruptAfterFirstLine` is
// set, SIGINT is sent as soon as the first line has appeared on standard output.
CliResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                 bool interruptAfterFirstLine = false);

// Splits text into lines (without their '\n').
std::vector<std::string> Lines(const std::string& text);

}  // namespace tandrel
