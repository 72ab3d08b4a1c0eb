#pragma once

#include <string>
#include <vector>

namespace tandrel {

// The batch list commands of tandrel-cli. Each takes the arguments after its own name, works on
// the user's settings store, and returns the exit status. A notice about a damaged settings
// file that was moved aside goes to stderr before anything else.

// tandrel-cli list: prints the stored list in order, one entry a line, numbered from 1:
// "N [x] DESCRIPTION: SOURCE => DEST" ("[ ]" for an entry that is not checked).
int CmdList(const std::vector<std::string>& args);

// tandrel-cli add DESCRIPTION SOURCE DEST: checks both directories (trimmed) as the batch item
// dialog does and appends a checked entry, in one transaction.
int CmdAdd(const std::vector<std::string>& args);

// tandrel-cli remove N: removes entry N (as list numbers them). Through the window when one is
// open, as add does; the window takes it only while its entry N is still the one listed.
// A bad N (not a number, 0, beyond the list) is a usage error and changes nothing.
int CmdRemove(const std::vector<std::string>& args);

// tandrel-cli check N / uncheck N: checks or unchecks entry N, as remove finds it.
int CmdCheck(const std::vector<std::string>& args, bool check);

// tandrel-cli batch [--keep | --delete | --move RECYCLE] [--log FILE]: runs the checked entries
// as one run, queued from the last row up and unchanged, as the Batch page's Go does.
int CmdBatch(const std::vector<std::string>& args);

}  // namespace tandrel
