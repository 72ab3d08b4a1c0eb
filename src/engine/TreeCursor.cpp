#include "TreeCursor.h"

namespace tandrel {

namespace {

// True when `prefix` (a directory path ending with '/') is `rel` or one of its ancestors.
bool IsAtOrAbove(const std::string& prefix, const std::string& rel) {
    return rel.size() >= prefix.size() && rel.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Status TreeCursor::OpenRoot(const std::string& path) {
    Close();
    return m_fs->OpenDirectory(path, &m_root);
}

void TreeCursor::Close() {
    m_held.clear();
    m_root.Reset();
}

void TreeCursor::Forget(const std::string& rel) {
    std::erase_if(m_held, [&](const Held& held) { return IsAtOrAbove(rel, held.rel); });
}

std::pair<std::string, std::string> TreeCursor::SplitRel(const std::string& rel) {
    size_t end = rel.size();
    if (end > 0 && rel[end - 1] == '/') {
        --end;
    }
    const size_t slash = rel.rfind('/', end == 0 ? 0 : end - 1);
    if (slash == std::string::npos || end == 0) {
        return {std::string(), rel.substr(0, end)};
    }
    return {rel.substr(0, slash + 1), rel.substr(slash + 1, end - slash - 1)};
}

const DirHandle* TreeCursor::Open(const std::string& rel, Status* error) {
    if (!m_root.valid()) {
        if (error != nullptr) {
            *error = Status::Error(Status::Code::kNotFound, rel, "the tree's root is not open");
        }
        return nullptr;
    }
    if (rel.empty()) {
        return &m_root;
    }
    // The deepest directory held that lies on the way, if not the one asked for.
    Held* best = nullptr;
    for (Held& held : m_held) {
        if (held.rel == rel) {
            held.used = ++m_uses;
            return &held.dir;
        }
        if (IsAtOrAbove(held.rel, rel) && (best == nullptr || held.rel.size() > best->rel.size())) {
            best = &held;
        }
    }
    const DirHandle* base = &m_root;
    size_t pos = 0;
    if (best != nullptr) {
        best->used = ++m_uses;
        base = &best->dir;
        pos = best->rel.size();
    }
    // Every level opened on the way is kept: the next directory of a breadth-first walk is
    // most often a cousin of this one, reached again from one of these levels.
    const DirHandle* from = base;
    while (pos < rel.size()) {
        const size_t slash = rel.find('/', pos);
        const size_t end = slash == std::string::npos ? rel.size() : slash;
        DirHandle next;
        Status s = m_fs->OpenSubdirectory(*from, rel.substr(pos, end - pos), &next);
        if (!s.ok()) {
            if (error != nullptr) {
                *error = s;
            }
            return nullptr;
        }
        // The directory kept last is never the one given up here: it was used most lately.
        from = Keep(rel.substr(0, end + 1), std::move(next));
        pos = end + 1;
    }
    return from;
}

const DirHandle* TreeCursor::Adopt(const std::string& rel, DirHandle dir) {
    for (Held& held : m_held) {
        if (held.rel == rel) {
            held = Held{rel, std::move(dir), ++m_uses};
            return &held.dir;
        }
    }
    return Keep(rel, std::move(dir));
}

const DirHandle* TreeCursor::Keep(std::string rel, DirHandle dir) {
    Held* slot = nullptr;
    if (m_held.size() < kHeld) {
        slot = &m_held.emplace_back();
    } else {
        slot = &m_held.front();
        for (Held& held : m_held) {
            if (held.used < slot->used) {
                slot = &held;
            }
        }
    }
    *slot = Held{std::move(rel), std::move(dir), ++m_uses};
    return &slot->dir;
}

}  // namespace tandrel
