// tandrel-cli: runs the mirroring engine from a terminal or a script.

#include <cstdio>
#include <string>
#include <vector>

#include "CliBatch.h"
#include "CliMirror.h"
#include "CliRun.h"
#include "TandrelVersion.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tandrel-cli mirror SOURCE DEST [--keep | --delete | --move RECYCLE] [OPTIONS]\n"
    "  tandrel-cli list\n"
    "  tandrel-cli add DESCRIPTION SOURCE DEST [FILTERS]\n"
    "  tandrel-cli remove N | check N | uncheck N\n"
    "  tandrel-cli batch [--keep | --delete | --move RECYCLE] [OPTIONS]\n"
    "  tandrel-cli --help | --version\n"
    "\n"
    "mirror   Brings DEST up to date with SOURCE: copies every file DEST lacks or holds\n"
    "         older, creates missing directories, and with\n"
    "           --keep            leaves what SOURCE no longer has alone (the default),\n"
    "           --delete          deletes it,\n"
    "           --move RECYCLE    moves it into RECYCLE under its relative path.\n"
    "         OPTIONS:\n"
    "           --log FILE        writes the run lines to FILE as well (emptied first),\n"
    "           --allow-empty-source  lets --delete run when SOURCE holds nothing (it is\n"
    "                             refused otherwise, so that an unmounted disk never\n"
    "                             empties its backup),\n"
    "           --max-delete N    refuses the deletes of a job that would delete more\n"
    "                             than N entries (files, links and directories),\n"
    "           --no-wait         refuses a job whose DEST or RECYCLE another run is\n"
    "                             using, instead of waiting for that run to end,\n"
    "           --dry-run         prints the lines the run would print and exits as it\n"
    "                             would, changing nothing (no log file either); each\n"
    "                             job's header begins \"(Preview\".\n"
    "         FILTERS (also OPTIONS):\n"
    "           --exclude PATTERN leaves out what PATTERN matches (may be repeated): it is\n"
    "                             not copied, and in DEST never deleted or moved,\n"
    "           --exclude-from FILE  the same for each line of FILE (blank lines and\n"
    "                             lines beginning with '#' are skipped),\n"
    "           --include-hidden  lets names beginning with '.' take part (they are\n"
    "                             left out on both sides otherwise).\n"
    "         PATTERN: '*' and '?' and [...] within one name, '**' across directories;\n"
    "         a leading '/' (or any '/' inside) ties it to the top of SOURCE and DEST,\n"
    "         a trailing '/' matches directories only; no '!' exceptions.\n"
    "         Use -- before paths that begin with '-'.\n"
    "\n"
    "list     Prints the batch list, one entry a line, numbered from 1:\n"
    "         \"N [x] DESCRIPTION: SOURCE => DEST\" (\"[ ]\" for an entry that is\n"
    "         not checked), followed by the entry's FILTERS as options, if any.\n"
    "add      Adds a checked entry at the end of the batch list, once SOURCE and DEST\n"
    "         are found to be existing directories, with FILTERS kept for it.\n"
    "remove   Removes entry N (the number list shows).\n"
    "check    Checks entry N, so that batch runs it; uncheck unchecks it.\n"
    "         While a Tandrel window is open, add, remove, check and uncheck hand the\n"
    "         change to it; it makes a change only while its entry N is the one listed.\n"
    "batch    Runs the checked entries of the batch list as one run, the last entry\n"
    "         first, with the same options and output as mirror; each entry leaves\n"
    "         out what its own FILTERS and those given to batch say.\n"
    "\n"
    "Standard output carries one line per file operation, framed by a header and a\n"
    "separator per job; a line beginning with '!' is a failure and ends with its reason\n"
    "in parentheses, e.g. \"(Permission denied)\". Progress goes to stderr when it is a\n"
    "terminal; at the end one line on stderr sums the run up:\n"
    "  tandrel-cli: 12 copied, 3 deleted, 0 moved, 1 failed, 1 job refused\n"
    "(\"dry run: \" or \"stopped: \" before the counts where that applies). Control\n"
    "characters in names are shown escaped (\\n, \\t, \\r, \\ooo, and \\\\ for a\n"
    "backslash that would otherwise read as an escape).\n"
    "\n"
    "Exit status: 0 no failures, 1 a line with '!' (a job the engine refused included),\n"
    "2 bad usage or a job refused before the run (also one refused with --no-wait),\n"
    "130 stopped with Ctrl-C or SIGTERM.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        fputs(kUsage, stderr);
        return tandrel::kExitUsage;
    }
    const std::string command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h") {
        fputs(kUsage, stdout);
        return tandrel::kExitOk;
    }
    if (command == "--version") {
        puts("tandrel-cli " TANDREL_VERSION);
        return tandrel::kExitOk;
    }
    if (command == "mirror") {
        return tandrel::CmdMirror(rest);
    }
    if (command == "list") {
        return tandrel::CmdList(rest);
    }
    if (command == "add") {
        return tandrel::CmdAdd(rest);
    }
    if (command == "remove") {
        return tandrel::CmdRemove(rest);
    }
    if (command == "check" || command == "uncheck") {
        return tandrel::CmdCheck(rest, command == "check");
    }
    if (command == "batch") {
        return tandrel::CmdBatch(rest);
    }
    tandrel::PrintError("unknown command '" + command + "' (see --help)");
    return tandrel::kExitUsage;
}
