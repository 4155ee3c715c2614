// One value of a SQLite database (a column of one row), read and written whole.
#ifndef MORPHEL_IO_SQLITE_CELL_P_H
#define MORPHEL_IO_SQLITE_CELL_P_H

#if !defined(_WIN32)

#include <sqlite3.h>

#include <string>

#include "io/memory_channel_p.h"

namespace morphel {

class SqliteCell {
 public:
  SqliteCell() = default;
  ~SqliteCell();
  SqliteCell(const SqliteCell &) = delete;
  SqliteCell &operator=(const SqliteCell &) = delete;

  // Opens an existing database file and checks that the table, the column and
  // the row are there. A locked database is waited for busyTimeoutMs.
  bool Open(const char *database, const char *table, const char *column, long long rowId,
            int busyTimeoutMs);
  // The value as bytes (text as its UTF-8 bytes, other values as their text);
  // isNull tells a null value from an empty one.
  bool Load(ByteBuffer *bytes, bool *isNull);
  // Replaces the value with the bytes, or appends them to it, and commits.
  bool Store(const unsigned char *bytes, size_t length, bool append);
  // Sets the value to null and commits.
  bool StoreNull();

  const std::string &column() const { return column_; }
  // What the last failure was, for the error information.
  const std::string &error() const { return error_; }

 private:
  bool Fail(const std::string &what);
  bool FailWithDatabaseMessage(const std::string &what);
  bool Prepare(const std::string &sql, sqlite3_stmt **statement);
  bool Execute(const char *sql);
  bool Update(const unsigned char *bytes, size_t length, bool null);
  bool Concatenate(const unsigned char *bytes, size_t length, ByteBuffer *joined);

  sqlite3 *db_ = nullptr;
  long long rowId_ = 0;
  std::string table_;
  std::string column_;
  std::string select_;
  std::string update_;
  std::string error_;
};

}  // namespace morphel

#endif  // !_WIN32

#endif  // MORPHEL_IO_SQLITE_CELL_P_H
