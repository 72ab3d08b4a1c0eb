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
    return m_fs.OpenDirectory(path, &m_root);
}

void TreeCursor::Close() {
    m_current = Held{};
    m_parent = Held{};
    m_root.Reset();
}

void TreeCursor::Forget(const std::string& rel) {
    if (m_current.dir.valid() && IsAtOrAbove(rel, m_current.rel)) {
        m_current = Held{};
    }
    if (m_parent.dir.valid() && IsAtOrAbove(rel, m_parent.rel)) {
        m_parent = Held{};
    }
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
    if (m_current.dir.valid() && m_current.rel == rel) {
        return &m_current.dir;
    }
    if (m_parent.dir.valid() && m_parent.rel == rel) {
        return &m_parent.dir;
    }
    // Start from the deepest directory held that lies on the way.
    const DirHandle* base = &m_root;
    size_t pos = 0;
    for (Held* held : {&m_parent, &m_current}) {
        if (held->dir.valid() && held->rel.size() > pos && IsAtOrAbove(held->rel, rel)) {
            base = &held->dir;
            pos = held->rel.size();
        }
    }
    DirHandle last;
    DirHandle beforeLast;
    int opened = 0;
    while (pos < rel.size()) {
        const size_t slash = rel.find('/', pos);
        const size_t end = slash == std::string::npos ? rel.size() : slash;
        DirHandle next;
        Status s =
            m_fs.OpenSubdirectory(opened == 0 ? *base : last, rel.substr(pos, end - pos), &next);
        if (!s.ok()) {
            if (error != nullptr) {
                *error = s;
            }
            return nullptr;
        }
        beforeLast = std::move(last);
        last = std::move(next);
        ++opened;
        pos = end + 1;
    }
    if (opened > 1) {
        m_parent = Held{SplitRel(rel).first, std::move(beforeLast)};
    } else if (base == &m_current.dir) {
        m_parent = std::move(m_current);
    } else if (base == &m_root) {
        m_parent = Held{};
    }
    // Otherwise the base was m_parent, which is the parent of `rel` already.
    m_current = Held{rel, std::move(last)};
    return &m_current.dir;
}

}  // namespace tandrel
