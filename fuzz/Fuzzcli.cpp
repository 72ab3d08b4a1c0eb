// Any argument list for tandrel-cli's run options (arguments separated by NUL bytes): parsing
// accepts or refuses with a message, never crashes, and what it accepts is consistent. Each
// argument is also read as the entry number of remove, check and uncheck: what is accepted is
// a number of at least 1 that the argument spells in decimal digits alone. Each is also read as
// an exclude pattern: refused with a reason or compiled, never both, and a compiled one
// matches every argument taken as a path without a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "BatchListStore.h"
#include "CliRun.h"
#include "PathFilter.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    RunOptions options;
    std::vector<std::string> positional;
    std::string error;
    const bool ok = ParseRunOptions(args, &options, &positional, &error);
    if (!ok && error.empty()) {
        __builtin_trap();  // a refusal always says why
    }
    if (ok && positional.size() > args.size()) {
        __builtin_trap();
    }
    for (const std::string& arg : args) {
        int number = 0;
        if (BatchListStore::ParseEntryNumber(arg, &number)) {
            const size_t digits = arg.find_first_not_of('0');
            if (number < 1 || digits == std::string::npos ||
                arg.substr(digits) != std::to_string(number)) {
                __builtin_trap();
            }
        }
    }
    for (const std::string& arg : args) {
        PathFilter filter;
        const bool refused = !PathFilter::PatternError(arg).empty();
        if (refused == PathFilter::Compile({arg}, true, &filter).ok()) {
            __builtin_trap();
        }
        for (const std::string& path : args) {
            (void)filter.TakesPart(path, true, true);
            (void)filter.Excludes(path, false, false);
        }
    }
    return 0;
}
