#include "ExtraTree.h"

#include <algorithm>

namespace tandrel {

size_t ExtraTree::Add(size_t parent, std::string name) {
    m_nodes.push_back(Node{parent, std::move(name), FileId{}, FileId{}});
    return m_nodes.size() - 1;
}

void ExtraTree::PopBack() {
    if (m_at == m_nodes.size() - 1) {
        // Keep the path of its parent, most likely the next one asked for.
        m_path.resize(m_path.size() - m_nodes.back().name.size());
        m_at = m_nodes.back().parent;
    }
    m_nodes.pop_back();
}

void ExtraTree::Clear() {
    m_nodes.clear();
    m_at = kRoot;
    m_path.clear();
}

const std::string& ExtraTree::Path(size_t index) {
    if (index == m_at) {
        return m_path;
    }
    if (index == kRoot) {
        m_path.clear();
    } else if (m_nodes[index].parent == m_at) {
        m_path += m_nodes[index].name;  // a child of the last one
    } else if (m_at != kRoot && m_nodes[m_at].parent == index) {
        m_path.resize(m_path.size() - m_nodes[m_at].name.size());  // its parent
    } else if (m_at != kRoot && m_nodes[m_at].parent == m_nodes[index].parent) {
        m_path.resize(m_path.size() - m_nodes[m_at].name.size());  // a sibling
        m_path += m_nodes[index].name;
    } else {
        // From the names of it and its ancestors, the root's side first.
        size_t length = 0;
        for (size_t i = index; i != kRoot; i = m_nodes[i].parent) {
            length += m_nodes[i].name.size();
        }
        m_path.assign(length, '\0');
        for (size_t i = index; i != kRoot; i = m_nodes[i].parent) {
            const std::string& name = m_nodes[i].name;
            length -= name.size();
            std::copy(name.begin(), name.end(),
                      m_path.begin() + static_cast<std::ptrdiff_t>(length));
        }
    }
    m_at = index;
    return m_path;
}

}  // namespace tandrel
