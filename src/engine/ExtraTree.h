#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "DestIndex.h"
#include "FileSystem.h"

namespace tandrel {

// The extra directories of a job's destination, in the order phase 2 lists them. Each is kept
// by its name below the directory it was found in, not by its whole path: a chain of extra
// directories then takes memory in proportion to its depth, where whole paths would take it in
// proportion to the square of the depth.
//
// A directory's path is built when asked for. The last one built is kept, so that asking for a
// child, a sibling or the parent of the last one costs only the names that differ: a walk down
// a chain, across a directory's subdirectories or back up a chain never builds a path afresh.
// Worker thread only.
class ExtraTree {
  public:
    // The parent of a directory listed straight from the destination root's side (its name is
    // then its whole path, perhaps of several levels).
    static constexpr size_t kRoot = DestIndex::kRoot;

    struct Node {
        size_t parent = kRoot;
        std::string name;  // below the parent, ending with '/'
        FileId id;         // the directory's identity when it was listed
        FileId parentId;   // its parent's
    };

    // Adds a directory; returns its index (the number of directories added before it).
    size_t Add(size_t parent, std::string name);
    Node& operator[](size_t index) { return m_nodes[index]; }
    size_t Size() const { return m_nodes.size(); }
    bool Empty() const { return m_nodes.empty(); }
    // Drops the directory added last.
    void PopBack();
    void Clear();
    // The path of directory `index` relative to the destination root (empty for kRoot). The
    // reference stays valid until the next Path, PopBack or Clear.
    const std::string& Path(size_t index);

  private:
    std::vector<Node> m_nodes;
    size_t m_at = kRoot;  // the directory m_path names
    std::string m_path;
};

}  // namespace tandrel
