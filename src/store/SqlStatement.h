#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tandrel {

// One prepared SQLite statement, finalized when the object goes away. Binding indexes start at
// 1, column indexes at 0, as in SQLite. Used by the settings store only; not thread-safe.
class SqlStatement {
  public:
    SqlStatement(sqlite3* db, const char* sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // The result of preparing: SQLITE_OK, or the error code.
    int prepare_result() const { return prepare_result_; }

    void BindInt64(int index, std::int64_t value);
    // Binds text as a blob or as text; the bytes are copied, so `value` may go away at once.
    void BindBlob(int index, std::string_view value);
    void BindText(int index, std::string_view value);

    // Runs one step: SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();

    std::int64_t ColumnInt64(int column) const;
    // The column's bytes, whole (embedded NUL bytes included).
    std::string ColumnBytes(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepare_result_ = 0;  // SQLITE_OK
};

}  // namespace tandrel
