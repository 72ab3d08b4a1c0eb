#include "SettingsStore.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <sqlite3.h>

#include "SettingsFile.h"
#include "SqlStatement.h"

namespace tandrel {
namespace {

// Marks the file as ours ("Tand"), so that another program's database at the same path is
// told apart from an empty one.
constexpr std::int64_t kApplicationId = 0x54616E64;
constexpr std::int64_t kSchemaVersion = 1;

// Keys form a tree under the root row; deleting a key cascades to its subkeys and values.
// NOCASE folds ASCII letters only, which is the comparison the stored names were defined with.
// Values are listed by rowid: a new value always gets a rowid above every existing one, and an
// update keeps its row, so rowid order is creation order.
constexpr const char* kSchemaSql =
    "CREATE TABLE keys("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  UNIQUE(parent, name));"
    "INSERT INTO keys(id, parent, name) VALUES(1, NULL, '');"
    "CREATE TABLE vals("
    "  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data NOT NULL,"
    "  UNIQUE(key, name));"
    "CREATE INDEX vals_by_key ON vals(key);"
    "PRAGMA application_id = 1415671396;"
    "PRAGMA user_version = 1;";

bool IsCorruption(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::string ErrnoText(int err) {
    char buf[256];
    return strerror_r(err, buf, sizeof buf);
}

Status ReadValueRow(const SqlStatement& row, SettingsValue* value) {
    value->name = row.ColumnBytes(0);
    const std::int64_t type = row.ColumnInt64(1);
    if (type == static_cast<int>(SettingsType::kDword)) {
        value->type = SettingsType::kDword;
        value->dword = static_cast<std::uint32_t>(row.ColumnInt64(2));
        value->text.clear();
    } else if (type == static_cast<int>(SettingsType::kString)) {
        value->type = SettingsType::kString;
        value->text = row.ColumnBytes(2);
        value->dword = 0;
    } else {
        return Status::Error(Status::Code::kCorrupt, value->name,
                             "value of unknown type " + std::to_string(type));
    }
    return Status::Ok();
}

}  // namespace

std::string SettingsStore::DefaultPath() {
    return SettingsFile::DefaultPath();
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

SettingsStore::~SettingsStore() {
    CloseConnection();
}

std::string SettingsStore::TakeNotice() {
    std::string notice;
    notice.swap(notice_);
    return notice;
}

Status SettingsStore::OpenConnection(bool readOnly) {
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        Status error = SqlError(rc, "cannot open the settings store");
        CloseConnection();
        return error;
    }
    // SQLite opens a file it may not write read-only without saying so.
    read_only_ = readOnly || sqlite3_db_readonly(db_, "main") == 1;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Status s = Exec("PRAGMA foreign_keys = ON");
    if (!s.ok()) {
        CloseConnection();
    }
    return s;
}

void SettingsStore::CloseConnection() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    read_only_ = false;
}

Status SettingsStore::Open() {
    if (state_ == State::kOpen || state_ == State::kUnusable) {
        return Status::Ok();
    }
    struct stat st;
    if (stat(path_.c_str(), &st) != 0) {
        // No file yet (or no folder to hold one): every key is missing until the first write.
        // Looked at again each time, so a file another instance makes later is seen.
        state_ = State::kAbsent;
        return Status::Ok();
    }
    if (Status s = OpenConnection(false); !s.ok()) {
        return s;
    }
    const FileCheck check = CheckFile();
    if (check.status.ok()) {
        if ((st.st_mode & 077) != 0 && !read_only_) {
            chmod(path_.c_str(), 0600);
        }
        if (check.verdict == FileCheck::kEmpty) {
            // Made but never written: a first save cut short, or another instance's first save
            // not committed yet. It holds no keys, so it reads as no file at all, and it is
            // looked at again on the next call; the first write fills it in.
            CloseConnection();
            state_ = State::kAbsent;
            return Status::Ok();
        }
        state_ = State::kOpen;
        return Status::Ok();
    }
    CloseConnection();
    if (check.verdict == FileCheck::kFailed) {
        return check.status;  // e.g. busy: nothing is decided, the next call tries again
    }
    state_ = State::kUnusable;
    if (check.verdict == FileCheck::kNewer) {
        // Leave it alone: serve defaults and refuse to write over it.
        unusable_ = check.status;
        notice_ = "The settings file " + path_ +
                  " was written by a newer version of Tandrel. Tandrel starts with default "
                  "settings and does not save settings over it.";
        return Status::Ok();
    }
    std::string aside;
    const Status moved = SettingsFile::MoveAside(path_, st.st_dev, st.st_ino, &aside);
    if (moved.ok()) {
        state_ = State::kAbsent;
        if (!aside.empty()) {
            notice_ = "The settings file " + path_ +
                      " was damaged or is not a Tandrel settings file. It has been moved to " +
                      aside + ", and Tandrel starts with default settings.";
        }
        return Status::Ok();
    }
    unusable_ = Status::Error(
        Status::Code::kCorrupt, path_,
        "the settings file is damaged and could not be moved aside (" + moved.ToString() + ")");
    notice_ = "The settings file " + path_ +
              " is damaged or is not a Tandrel settings file, and it could not be moved aside (" +
              moved.ToString() +
              "). Tandrel starts with default settings and cannot save settings until the file "
              "is removed.";
    return Status::Ok();
}

SettingsStore::FileCheck SettingsStore::CheckFile() {
    FileCheck check;
    auto query = [&](const char* sql, std::int64_t* number, std::string* text) -> bool {
        SqlStatement stmt(db_, sql);
        const int rc = stmt.prepare_result() != SQLITE_OK ? stmt.prepare_result() : stmt.Step();
        if (rc != SQLITE_ROW) {
            check.verdict = IsCorruption(rc) ? FileCheck::kDamaged : FileCheck::kFailed;
            check.status = SqlError(rc, "cannot read the settings store");
            return false;
        }
        if (number != nullptr) {
            *number = stmt.ColumnInt64(0);
        }
        if (text != nullptr) {
            *text = stmt.ColumnBytes(0);
        }
        return true;
    };
    if (Status s = Exec("BEGIN"); !s.ok()) {
        check.verdict = FileCheck::kFailed;
        check.status = s;
        return check;
    }
    std::int64_t appId = 0, version = 0, objects = 0, ourTables = 0;
    std::string integrity;
    const bool read = query("PRAGMA application_id", &appId, nullptr) &&
                      query("PRAGMA user_version", &version, nullptr) &&
                      query("SELECT count(*) FROM sqlite_master", &objects, nullptr) &&
                      query(
                          "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                          "('keys', 'vals')",
                          &ourTables, nullptr) &&
                      query("PRAGMA quick_check", nullptr, &integrity);
    Exec("ROLLBACK");
    if (!read) {
        return check;
    }
    const bool empty = appId == 0 && version == 0 && objects == 0;
    if (integrity == "ok" && empty) {
        check.verdict = FileCheck::kEmpty;
        return check;
    }
    if (integrity != "ok" || appId != kApplicationId) {
        check.verdict = FileCheck::kDamaged;
    } else if (version > kSchemaVersion) {
        check.verdict = FileCheck::kNewer;
        check.status = Status::Error(Status::Code::kUnsupported, path_,
                                     "the settings store was written by a newer version");
        return check;
    } else if (version != kSchemaVersion || ourTables != 2) {
        check.verdict = FileCheck::kDamaged;
    }
    if (check.verdict == FileCheck::kDamaged) {
        check.status = Status::Error(Status::Code::kCorrupt, path_, "not a usable settings store");
    }
    return check;
}

Status SettingsStore::PrepareForWrite() {
    if (Status s = Open(); !s.ok()) {
        return s;
    }
    if (state_ == State::kUnusable) {
        return unusable_;
    }
    if (state_ == State::kAbsent) {
        if (Status s = SettingsFile::Create(path_); !s.ok()) {
            return s;
        }
        if (Status s = OpenConnection(false); !s.ok()) {
            return s;
        }
        state_ = State::kOpen;
    }
    if (read_only_) {
        return Status::Error(Status::Code::kPermission, path_,
                             "cannot save settings: the settings store is read-only");
    }
    return Status::Ok();
}

Status SettingsStore::EnsureSchema() {
    SqlStatement stmt(db_, "PRAGMA user_version");
    const int rc = stmt.Step();
    if (rc != SQLITE_ROW) {
        return SqlError(rc, "cannot read the settings store");
    }
    if (stmt.ColumnInt64(0) != 0) {
        return Status::Ok();
    }
    return Exec(kSchemaSql);
}

Status SettingsStore::Read(const std::function<Status()>& body) {
    if (depth_ > 0) {
        return body();
    }
    if (Status s = Open(); !s.ok()) {
        return s;
    }
    if (state_ != State::kOpen) {
        // Nothing stored: the body sees every key missing.
        ++depth_;
        Status s = body();
        --depth_;
        return s;
    }
    if (Status s = Exec("BEGIN"); !s.ok()) {
        return s;
    }
    ++depth_;
    Status s = body();
    --depth_;
    Exec(s.ok() ? "COMMIT" : "ROLLBACK");
    return s;
}

Status SettingsStore::Write(const std::function<Status()>& body) {
    if (depth_ > 0) {
        if (!writing_) {
            return Status::Error(Status::Code::kInvalid, path_,
                                 "a write was started inside a read transaction");
        }
        return body();
    }
    if (Status s = PrepareForWrite(); !s.ok()) {
        return s;
    }
    // IMMEDIATE takes the write lock up front, so a busy store is waited for here and never
    // turns into a deadlock between two readers that both want to write.
    if (Status s = Exec("BEGIN IMMEDIATE"); !s.ok()) {
        return s;
    }
    ++depth_;
    writing_ = true;
    Status s = EnsureSchema();
    if (s.ok()) {
        s = body();
    }
    writing_ = false;
    --depth_;
    if (s.ok()) {
        s = Exec("COMMIT");
    }
    if (!s.ok() && sqlite3_get_autocommit(db_) == 0) {
        Exec("ROLLBACK");
    }
    return s;
}

Status SettingsStore::FindKey(std::string_view path, bool create, Key* key) {
    Key current = kRootKey;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || end == path.size() - 1) {
            return Status::Error(Status::Code::kInvalid, std::string(path),
                                 "key path with an empty part");
        }
        if (db_ == nullptr) {
            return Status::Error(Status::Code::kNotFound, std::string(path), "no such key");
        }
        SqlStatement find(db_, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
        find.BindInt64(1, current);
        find.BindText(2, part);
        int rc = find.Step();
        if (rc == SQLITE_ROW) {
            current = find.ColumnInt64(0);
        } else if (rc != SQLITE_DONE) {
            return SqlError(rc, "cannot read key " + std::string(path));
        } else if (!create) {
            return Status::Error(Status::Code::kNotFound, std::string(path), "no such key");
        } else {
            SqlStatement insert(db_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
            insert.BindInt64(1, current);
            insert.BindText(2, part);
            rc = insert.Step();
            if (rc != SQLITE_DONE) {
                return SqlError(rc, "cannot create key " + std::string(path));
            }
            current = sqlite3_last_insert_rowid(db_);
        }
        start = end + 1;
    }
    *key = current;
    return Status::Ok();
}

Status SettingsStore::OpenKey(std::string_view path, Key* key) {
    return Read([&] { return FindKey(path, false, key); });
}

Status SettingsStore::CreateKey(std::string_view path, Key* key) {
    return Write([&] { return FindKey(path, true, key); });
}

Status SettingsStore::DeleteKey(std::string_view path) {
    return Write([&]() -> Status {
        Key key = kRootKey;
        if (Status s = FindKey(path, false, &key); !s.ok()) {
            return s;
        }
        if (key == kRootKey) {
            return Status::Error(Status::Code::kInvalid, std::string(path),
                                 "the root key cannot be deleted");
        }
        SqlStatement del(db_, "DELETE FROM keys WHERE id = ?1");
        del.BindInt64(1, key);
        const int rc = del.Step();
        return rc == SQLITE_DONE ? Status::Ok()
                                 : SqlError(rc, "cannot delete key " + std::string(path));
    });
}

Status SettingsStore::SetValue(Key key, std::string_view name, SettingsType type,
                               std::string_view text, std::uint32_t dword) {
    return Write([&]() -> Status {
        SqlStatement set(db_,
                         "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                         "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data");
        set.BindInt64(1, key);
        set.BindText(2, name);
        set.BindInt64(3, static_cast<int>(type));
        if (type == SettingsType::kDword) {
            set.BindInt64(4, dword);
        } else {
            set.BindBlob(4, text);
        }
        const int rc = set.Step();
        if ((rc & 0xff) == SQLITE_CONSTRAINT) {
            return Status::Error(Status::Code::kNotFound, std::string(name),
                                 "the key of this value no longer exists");
        }
        return rc == SQLITE_DONE ? Status::Ok()
                                 : SqlError(rc, "cannot write value " + std::string(name));
    });
}

Status SettingsStore::SetString(Key key, std::string_view name, std::string_view text) {
    return SetValue(key, name, SettingsType::kString, text, 0);
}

Status SettingsStore::SetDword(Key key, std::string_view name, std::uint32_t value) {
    return SetValue(key, name, SettingsType::kDword, {}, value);
}

Status SettingsStore::QueryValue(Key key, std::string_view name, SettingsValue* value) {
    return Read([&]() -> Status {
        if (db_ == nullptr) {
            return Status::Error(Status::Code::kNotFound, std::string(name), "no such value");
        }
        SqlStatement get(db_, "SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2");
        get.BindInt64(1, key);
        get.BindText(2, name);
        const int rc = get.Step();
        if (rc == SQLITE_DONE) {
            return Status::Error(Status::Code::kNotFound, std::string(name), "no such value");
        }
        return rc == SQLITE_ROW ? ReadValueRow(get, value)
                                : SqlError(rc, "cannot read value " + std::string(name));
    });
}

Status SettingsStore::EnumValue(Key key, int index, SettingsValue* value) {
    return Read([&]() -> Status {
        if (db_ == nullptr || index < 0) {
            return Status::Error(Status::Code::kNotFound, path_, "no more values");
        }
        SqlStatement get(db_,
                         "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid "
                         "LIMIT 1 OFFSET ?2");
        get.BindInt64(1, key);
        get.BindInt64(2, index);
        const int rc = get.Step();
        if (rc == SQLITE_DONE) {
            return Status::Error(Status::Code::kNotFound, path_, "no more values");
        }
        return rc == SQLITE_ROW ? ReadValueRow(get, value) : SqlError(rc, "cannot list values");
    });
}

Status SettingsStore::ListValues(Key key, std::vector<SettingsValue>* values) {
    return Read([&]() -> Status {
        values->clear();
        if (db_ == nullptr) {
            return Status::Ok();
        }
        SqlStatement get(db_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid");
        get.BindInt64(1, key);
        int rc;
        while ((rc = get.Step()) == SQLITE_ROW) {
            SettingsValue value;
            if (Status s = ReadValueRow(get, &value); !s.ok()) {
                return s;
            }
            values->push_back(std::move(value));
        }
        return rc == SQLITE_DONE ? Status::Ok() : SqlError(rc, "cannot list values");
    });
}

Status SettingsStore::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? Status::Ok() : SqlError(rc, "settings store");
}

Status SettingsStore::SqlError(int rc, const std::string& what) const {
    const int primary = rc & 0xff;
    std::string detail = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    const int err = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
    if (err != 0 && primary != SQLITE_BUSY) {
        detail += " (" + ErrnoText(err) + ")";
    }
    Status::Code code = Status::Code::kIoError;
    switch (primary) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            code = Status::Code::kBusy;
            detail = "the settings store is in use by another program and did not become free";
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
        case SQLITE_AUTH:
            code = Status::Code::kPermission;
            detail = "the settings file or its folder cannot be written (" + detail + ")";
            break;
        case SQLITE_FULL:
            detail = "the disk is full";
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            code = Status::Code::kCorrupt;
            break;
        default:
            break;
    }
    return Status::Error(code, path_, what + ": " + detail);
}

}  // namespace tandrel
