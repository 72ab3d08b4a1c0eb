#include "SqlStatement.h"

#include <sqlite3.h>

namespace tandrel {

SqlStatement::SqlStatement(sqlite3* db, const char* sql) {
    prepare_result_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(stmt_);
}

void SqlStatement::BindInt64(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}

void SqlStatement::BindBlob(int index, std::string_view value) {
    // A zero-length blob from a null pointer would bind NULL; "" keeps it an empty blob.
    sqlite3_bind_blob64(stmt_, index, value.empty() ? "" : value.data(), value.size(),
                        SQLITE_TRANSIENT);
}

void SqlStatement::BindText(int index, std::string_view value) {
    sqlite3_bind_text64(stmt_, index, value.empty() ? "" : value.data(), value.size(),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
}

int SqlStatement::Step() {
    if (stmt_ == nullptr) {
        return prepare_result_ == SQLITE_OK ? SQLITE_MISUSE : prepare_result_;
    }
    return sqlite3_step(stmt_);
}

std::int64_t SqlStatement::ColumnInt64(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SqlStatement::ColumnBytes(int column) const {
    // Ask for the blob first, then its size, as SQLite's conversion rules require.
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr || size <= 0) {
        return std::string();
    }
    return std::string(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace tandrel
