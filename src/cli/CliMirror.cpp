#include "CliMirror.h"

#include "CJobQueue.h"
#include "CliRun.h"
#include "JobCheck.h"
#include "ResourceIds.h"

namespace tandrel {

int CmdMirror(const std::vector<std::string>& args) {
    RunOptions options;
    std::vector<std::string> paths;
    std::string error;
    if (!ParseRunOptions(args, &options, &paths, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (paths.size() != 2) {
        PrintError("mirror needs SOURCE and DEST (see --help)");
        return kExitUsage;
    }
    const std::string& source = paths[0];
    const std::string& dest = paths[1];

    // The same checks, in the same order, as a job started from the window.
    struct Check {
        const std::string& path;
        int field;
    };
    std::vector<Check> checks = {{source, IDS_FIELD_FROM}, {dest, IDS_FIELD_TO}};
    if (options.action == kActionMove) {
        checks.push_back({options.recycle, IDS_FIELD_RECYCLE});
    }
    for (const Check& c : checks) {
        if (!CheckDirectoryArg(c.path, c.field)) {
            return kExitUsage;
        }
    }
    const Status overlap =
        CheckJobPaths(source, dest, options.action, options.recycle, theJobQueue.GetFileSystem());
    if (!overlap.ok()) {
        PrintError(JobCheckMessage(overlap));
        return kExitUsage;
    }

    PathFilter filter;
    const Status compiled =
        PathFilter::Compile(options.filter.exclude, options.filter.includeHidden, &filter);
    if (!compiled.ok()) {
        PrintError(compiled.reason());
        return kExitUsage;
    }
    theJobQueue.AddJob(source, dest, 0, std::move(filter));
    return RunQueuedJobs(theJobQueue, options);
}

}  // namespace tandrel
