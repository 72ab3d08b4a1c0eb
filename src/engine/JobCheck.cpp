#include "JobCheck.h"

#include <algorithm>

namespace tandrel {

bool SameOrInside(const DirectoryPlace& inner, const DirectoryPlace& outer) {
    if (outer.missing.empty()) {
        return inner.id == outer.id || std::find(inner.ancestors.begin(), inner.ancestors.end(),
                                                 outer.id) != inner.ancestors.end();
    }
    // Nothing that exists lies inside a level that does not: only a path below the same
    // deepest existing level, through the same missing names, can.
    return inner.id == outer.id && inner.missing.size() >= outer.missing.size() &&
           std::equal(outer.missing.begin(), outer.missing.end(), inner.missing.begin());
}

Status CheckJobPaths(const std::string& source, const std::string& dest, ExtraFileAction action,
                     const std::string& recycle, FileSystem& fs) {
    auto refuse = [](const std::string& path, const std::string& reason) {
        return Status::Error(Status::Code::kInvalid, path, reason);
    };
    if (source.empty()) {
        return refuse(source, "Directory name of 'From' is empty");
    }
    if (dest.empty()) {
        return refuse(dest, "Directory name of 'To' is empty");
    }
    const bool withRecycle = action == kActionMove && !recycle.empty();
    struct Root {
        const std::string& path;
        const char* field;
        DirectoryPlace place;
    };
    Root src{source, "From", {}};
    Root dst{dest, "To", {}};
    Root rcy{recycle, "Recycle", {}};
    for (Root* root : {&src, &dst, &rcy}) {
        if (root == &rcy && !withRecycle) {
            break;
        }
        const Status s = fs.LocateDirectory(root->path, &root->place);
        if (!s.ok()) {
            // Where a root lies cannot be told: it might overlap, so the job does not run.
            return refuse(root->path, std::string("Directory '") + root->field +
                                          "' cannot be checked (" + s.ToString() + ")");
        }
    }
    if (SameOrInside(dst.place, src.place)) {
        return refuse(dest, "Directory 'To' is or lies inside 'From'");
    }
    if (SameOrInside(src.place, dst.place)) {
        return refuse(dest, "Directory 'To' contains 'From'");
    }
    if (withRecycle) {
        if (SameOrInside(rcy.place, src.place)) {
            return refuse(recycle, "Directory 'Recycle' is or lies inside 'From'");
        }
        // Extra files moved there under their relative paths could land on source files.
        if (SameOrInside(src.place, rcy.place)) {
            return refuse(recycle, "Directory 'Recycle' contains 'From'");
        }
        if (SameOrInside(dst.place, rcy.place)) {
            return refuse(recycle, "Directory 'Recycle' is or contains 'To'");
        }
    }
    return Status::Ok();
}

std::string JobCheckMessage(const Status& refusal) {
    return "Error: " + refusal.reason() + "...";
}

}  // namespace tandrel
