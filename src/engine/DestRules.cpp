#include "DestRules.h"

#include <algorithm>
#include <array>

#include "PathText.h"

namespace tandrel {

namespace {

// The steps in which file systems keep last-write times, finest first: NTFS and SMB 100 ns,
// some network and FUSE file systems a microsecond or a millisecond, exFAT 10 ms, older Unix
// file systems a second, FAT two seconds. Each is a whole multiple of the one before.
constexpr std::array<int64_t, 6> kSteps = {100, 1000, 1000000, 10000000, 1000000000, 2000000000};

int64_t FloorTo(int64_t ns, int64_t step) {
    int64_t r = ns % step;
    if (r < 0) {
        r += step;
    }
    return ns - r;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// `name` with the case of every ASCII letter changed.
std::string FlipCase(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (IsAsciiLetter(c)) {
            c = static_cast<char>(c ^ 0x20);
        }
    }
    return out;
}

}  // namespace

void DestRules::Reset(const VolumeInfo& told) {
    m_caseBlind = told.case_insensitive;
    m_probedDevices.clear();
    m_toldStep = std::max<int64_t>(told.time_granularity_ns, 1);
    m_wholeStep = 0;
    m_probedSteps.clear();
    m_kept.clear();
}

bool DestRules::LearnCase(const DirHandle& dir, const DirListing& entries) {
    if (m_caseBlind) {
        return false;
    }
    const bool anyName =
        std::any_of(entries.begin(), entries.end(), [](const DirListing::Entry& e) {
            return !StartsWithDot(e.name) &&
                   std::any_of(e.name.begin(), e.name.end(), IsAsciiLetter);
        });
    if (!anyName) {
        return false;  // nothing to probe with here; a later directory may do
    }
    EntryInfo info;
    if (!m_fs->StatAt(dir, std::string(), &info).ok() || m_probedDevices.count(info.id.dev) != 0) {
        return false;
    }
    const int answer = ProbeCase(dir, entries);
    if (answer < 0) {
        return false;
    }
    m_probedDevices.insert(info.id.dev);
    m_caseBlind = answer == 1;
    return m_caseBlind;
}

int DestRules::ProbeCase(const DirHandle& dir, const DirListing& entries) {
    constexpr int kMaxTries = 3;
    int tries = 0;
    for (const DirListing::Entry e : entries) {
        if (StartsWithDot(e.name)) {
            continue;
        }
        const std::string variant = FlipCase(e.name);
        if (variant == e.name) {
            continue;
        }
        // Two names that differ only in case side by side: this volume tells them apart.
        if (std::any_of(entries.begin(), entries.end(),
                        [&](const DirListing::Entry& other) { return other.name == variant; })) {
            return 0;
        }
        if (++tries > kMaxTries) {
            break;
        }
        EntryInfo listed;
        if (!m_fs->StatAt(dir, std::string(e.name), &listed).ok()) {
            continue;  // gone since the listing, or unreadable: try another name
        }
        EntryInfo other;
        const Status s = m_fs->StatAt(dir, variant, &other);
        if (s.ok()) {
            return 1;  // a spelling the directory does not list leads to an entry
        }
        if (s.IsNotFound()) {
            return 0;
        }
    }
    return -1;
}

int64_t DestRules::TimeStep(const DirHandle* dir, int64_t sourceNs, int64_t destNs) {
    // The coarsest step every destination time seen is a whole multiple of. A volume that
    // keeps times in steps of T never shows a time off its steps, so this never falls below
    // the volume's own step; one finer time shows the volume is finer.
    if (m_wholeStep == 0) {
        m_wholeStep = kSteps.back();
    }
    while (m_wholeStep > 1 && FloorTo(destNs, m_wholeStep) != destNs) {
        auto finer = std::find(kSteps.rbegin(), kSteps.rend(), m_wholeStep) + 1;
        m_wholeStep = finer == kSteps.rend() ? 1 : *finer;
    }
    if (m_wholeStep <= m_toldStep) {
        return m_toldStep;
    }
    // The volume is asked only when the answer turns on it: newer at the step its type gives,
    // not newer at the coarsest step its times allow.
    const bool newerFine = FloorTo(sourceNs, m_toldStep) > FloorTo(destNs, m_toldStep);
    const bool newerCoarse = FloorTo(sourceNs, m_wholeStep) > FloorTo(destNs, m_wholeStep);
    if (!newerFine || newerCoarse || dir == nullptr) {
        return m_toldStep;
    }
    return std::max(m_toldStep, std::min(ProbedStep(*dir), m_wholeStep));
}

int64_t DestRules::ProbedStep(const DirHandle& dir) {
    EntryInfo info;
    if (!m_fs->StatAt(dir, std::string(), &info).ok()) {
        return 1;
    }
    if (auto known = m_probedSteps.find(info.id.dev); known != m_probedSteps.end()) {
        return known->second;
    }
    // A time off every step (an odd second and 1.234567891 s past an even one): what the
    // volume keeps of it is that time cut down to the volume's own step.
    constexpr int64_t kProbeNs = 1000000001234567891;
    int64_t stored = 0;
    int64_t step = 1;
    if (m_fs->ProbeStoredTime(dir, kProbeNs, &stored).ok() && stored != kProbeNs) {
        // The finest step that explains what was kept; anything else (a time rounded up, or
        // not kept at all) leaves the volume at the finest step.
        for (int64_t candidate : kSteps) {
            if (FloorTo(kProbeNs, candidate) == stored) {
                step = candidate;
                break;
            }
        }
    }
    // A probe that could not be written is not tried again in this job either.
    m_probedSteps[info.id.dev] = step;
    return step;
}

void DestRules::Keep(const DirHandle& dir, const std::string& name) {
    EntryInfo info;
    if (m_fs->StatAt(dir, name, &info).ok()) {
        m_kept.insert(info.id);
    }
}

bool DestRules::IsKept(const DirHandle& dir, const std::string& name) {
    if (m_kept.empty()) {
        return false;
    }
    EntryInfo info;
    return m_fs->StatAt(dir, name, &info).ok() && m_kept.count(info.id) != 0;
}

}  // namespace tandrel
