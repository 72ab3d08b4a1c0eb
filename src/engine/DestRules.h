#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FileSystem.h"

namespace tandrel {

// What one job learns about its destination from the destination itself, beyond what the file
// system's type tells (GetVolumeInfo): a volume reached through a layer that hides its type
// (exFAT through FUSE reports "fuseblk") may match names ignoring case and keep coarse times
// all the same. Taking it for a case-sensitive volume with fine times would copy a newer
// Report.txt onto REPORT.TXT and then delete REPORT.TXT as extra, losing both; taking its
// times as exact would copy every file again on every run.
//
// - The case rule: once per destination volume (device), a name the volume holds is looked up
//   with its ASCII case changed. When that spelling is found although the directory does not
//   list it, the volume matches names ignoring case. The answer does not rest on the two
//   lookups giving the same inode number, as some FUSE layers number each spelling apart.
// - The time step: a volume that keeps times in steps of T shows no time off its steps, so any
//   destination time that is not a whole multiple of a step proves the volume keeps finer
//   times than that. The converse proves nothing: a volume of whole seconds shows only even
//   times now and then, and a file that is simply older may show the source's time cut down.
//   So a step coarser than the volume's type says is taken only from the volume itself: once
//   per device, when a comparison would come out otherwise at the coarser step, the walk
//   writes a probe file there with a time finer than every step and reads back what was kept.
//   Without that answer it compares at the finer step: a needless copy costs time, a skipped
//   one the user's file.
// - The entries the walk matched or wrote under a spelling the destination may know by
//   another: no entry with the same identity (device and inode) is ever deleted or moved as
//   extra, whatever the rules above concluded.
//
// Worker thread only; one instance per worker, reset at the start of each job.
class DestRules {
  public:
    explicit DestRules(FileSystem& fs) : m_fs(&fs) {}
    // Looks at the destination through `fs` from the next job on (a preview reads through a
    // file system that changes nothing).
    void UseFileSystem(FileSystem& fs) { m_fs = &fs; }

    // Starts a job on a destination whose file system described itself as `told`.
    void Reset(const VolumeInfo& told);

    // Learns, from the listing `entries` of the open destination directory `dir`, the case rule
    // of the volume `dir` lies on, unless it is already known. True when names are now to be
    // matched ignoring ASCII case and were not before.
    bool LearnCase(const DirHandle& dir, const DirListing& entries);
    bool CaseBlind() const { return m_caseBlind; }

    // The step at which to compare a source time with the time of its destination counterpart
    // in the destination directory `dir` (nullptr when it is not open), in nanoseconds, taking
    // the pair into account first.
    int64_t TimeStep(const DirHandle* dir, int64_t sourceNs, int64_t destNs);

    // Keeps the identity of the entry `name` in `dir` (just written or entered by the walk), so
    // that no entry of the same identity is taken for extra.
    void Keep(const DirHandle& dir, const std::string& name);
    void Keep(const FileId& id) { m_kept.insert(id); }
    // True when the entry `name` in `dir` is one of those kept.
    bool IsKept(const DirHandle& dir, const std::string& name);

  private:
    struct IdHash {
        size_t operator()(const FileId& id) const { return id.dev * 1000003u ^ id.ino; }
    };
    // Looks up one name of `entries` in `dir` with its case changed: 1 found (the volume
    // ignores case), 0 not found (it tells case apart), -1 no answer.
    int ProbeCase(const DirHandle& dir, const DirListing& entries);
    // The step in which the volume of `dir` keeps times, as a probe file written there shows
    // it; 1 when it cannot tell. Asked once per device.
    int64_t ProbedStep(const DirHandle& dir);

    FileSystem* m_fs;
    bool m_caseBlind = false;
    std::unordered_set<uint64_t> m_probedDevices;
    int64_t m_toldStep = 1;
    // The coarsest step every destination time seen so far is a whole multiple of.
    int64_t m_wholeStep = 0;  // 0: no destination time seen yet
    // Per device: the step its probe showed.
    std::unordered_map<uint64_t, int64_t> m_probedSteps;
    std::unordered_set<FileId, IdHash> m_kept;
};

}  // namespace tandrel
