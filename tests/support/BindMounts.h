#pragma once

#include <string>
#include <vector>

namespace tandrel {

// Bind mounts a test makes, undone in reverse order by UnmountAll (call it from TearDown) and
// at the latest when the object goes away. Declare it after the TempTree whose directories it
// binds, so that the mounts are gone before the tree is removed.
//
// Mounting needs root (or a mount namespace of one's own); a test that cannot mount skips:
//   if (!mounts.Bind(t.Path("a/sub"), t.Path("m"))) GTEST_SKIP() << mounts.error();
//
// Not thread-safe; meant for the test's own thread.
class BindMounts {
  public:
    BindMounts() = default;
    ~BindMounts();
    BindMounts(const BindMounts&) = delete;
    BindMounts& operator=(const BindMounts&) = delete;

    // Shows the directory `from` also at the existing directory `at`. False when the system
    // refuses; error() then says why.
    bool Bind(const std::string& from, const std::string& at);
    // Unmounts every bind made so far, newest first (detaching any that is busy).
    void UnmountAll();
    const std::string& error() const { return error_; }

  private:
    std::vector<std::string> points_;
    std::string error_;
};

}  // namespace tandrel
