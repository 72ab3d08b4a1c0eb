#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "SettingsValue.h"
#include "Status.h"

// The SQLite connection stays an opaque pointer here, so that users of the store never see
// SQLite's header or link it themselves.
struct sqlite3;

namespace tandrel {

// The per-user settings store: a tree of keys, each holding named values of string or 32-bit
// type, kept in one SQLite file. Keys are named by paths below the store's root with '\'
// between the parts ("Software\Halvory\Tandrel\Batch List"); key and value names compare
// without regard to ASCII case, and keep the spelling they were created with. A key lists its
// values in the order they were created; setting a value again changes its data in place.
//
// The file is made, with its folders, on the first write: folders 0700, the file 0600. Until
// then, and while the file holds nothing yet (a first write cut short or not committed), every
// key is missing and readers get their defaults. Every change runs in a transaction
// (one per call, or one per Write() body), so a process killed at any moment leaves the store
// as it was before the transaction or after it. Several processes may use the file at once: a
// store held by another process is waited for (up to kBusyTimeoutMs) before a call gives up
// with a kBusy status.
//
// A file at the path that is damaged, or is not such a store, is moved aside under a new name
// (never over an existing file) when the store is opened; the store then starts empty, and
// TakeNotice() gives the text that tells the user, once. A file that cannot be written still
// serves reads; writes fail with a status that says why.
//
// Not thread-safe: one thread uses one object. Other threads or processes open their own.
class SettingsStore {
  public:
    using Key = std::int64_t;
    // The key above every path; "" names it.
    static constexpr Key kRootKey = 1;
    static constexpr int kBusyTimeoutMs = 10000;

    // $XDG_CONFIG_HOME/Halvory/Tandrel/settings.db, with $HOME/.config when the variable is
    // unset, empty or not an absolute path.
    static std::string DefaultPath();

    explicit SettingsStore(std::string path = DefaultPath());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::string& path() const { return path_; }

    // Opens the file if it exists and checks it, moving a damaged one aside. Every other call
    // opens the store itself; calling this first lets start-up fetch the notice early. Ok when
    // the file is missing. An error (e.g. kBusy) leaves the store closed; the next call retries.
    Status Open();
    // The text that tells the user the file was damaged and moved aside, once: later calls
    // give "" until it happens again.
    std::string TakeNotice();

    // Runs `body` as one transaction that only reads: everything it reads comes from one
    // state of the file. Returns the body's status, or why the store could not be read.
    Status Read(const std::function<Status()>& body);
    // Runs `body` as one transaction that may write; the changes are kept only when the body
    // returns ok and the commit succeeds, and are all dropped otherwise. Inside a Write body,
    // Read and Write run their bodies as part of the enclosing transaction.
    Status Write(const std::function<Status()>& body);

    // Opens an existing key; kNotFound when it (or a parent) does not exist, creating nothing.
    Status OpenKey(std::string_view path, Key* key);
    // Opens the key, creating it and any missing parents.
    Status CreateKey(std::string_view path, Key* key);
    // Deletes the key with its values and subkeys; kNotFound when it does not exist.
    Status DeleteKey(std::string_view path);

    Status SetString(Key key, std::string_view name, std::string_view text);
    Status SetDword(Key key, std::string_view name, std::uint32_t value);
    // kNotFound when the key has no value of that name.
    Status QueryValue(Key key, std::string_view name, SettingsValue* value);
    // The value at `index` in creation order; kNotFound at and past the end.
    Status EnumValue(Key key, int index, SettingsValue* value);
    // All values of the key in creation order (empty for a missing store).
    Status ListValues(Key key, std::vector<SettingsValue>* values);

  private:
    enum class State { kClosed, kAbsent, kOpen, kUnusable };

    Status OpenConnection(bool readOnly);
    void CloseConnection();
    // What opening found in an existing file.
    struct FileCheck {
        enum Verdict { kUsable, kEmpty, kDamaged, kNewer, kFailed } verdict = kUsable;
        Status status;
    };
    FileCheck CheckFile();
    Status PrepareForWrite();
    Status EnsureSchema();
    Status FindKey(std::string_view path, bool create, Key* key);
    Status SetValue(Key key, std::string_view name, SettingsType type, std::string_view text,
                    std::uint32_t dword);
    Status Exec(const char* sql);
    Status SqlError(int rc, const std::string& what) const;

    std::string path_;
    State state_ = State::kClosed;
    sqlite3* db_ = nullptr;
    bool read_only_ = false;
    int depth_ = 0;
    bool writing_ = false;
    Status unusable_;
    std::string notice_;
};

}  // namespace tandrel
