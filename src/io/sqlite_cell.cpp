// One value of a SQLite database: opening and checking it, reading it whole,
// and replacing or extending it in a committed transaction. Strings may throw
// std::bad_alloc; the field object's calls catch it.
#include "io/sqlite_cell_p.h"

#if !defined(_WIN32)

#include <cstring>

namespace morphel {

namespace {

// An identifier as SQL text: in double quotes, inner quotes doubled.
std::string Quoted(const char *name) {
  std::string out = "\"";
  for (const char *p = name; *p != '\0'; ++p) {
    out += *p;
    if (*p == '"') out += '"';
  }
  return out + "\"";
}

// Finalizes a statement when it goes out of scope.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;
  sqlite3_stmt **out() { return &statement_; }
  sqlite3_stmt *get() const { return statement_; }

 private:
  sqlite3_stmt *statement_ = nullptr;
};

}  // namespace

SqliteCell::~SqliteCell() { sqlite3_close_v2(db_); }

bool SqliteCell::Fail(const std::string &what) {
  error_ = what;
  return false;
}

bool SqliteCell::FailWithDatabaseMessage(const std::string &what) {
  return Fail(what.empty() ? sqlite3_errmsg(db_) : what + ": " + sqlite3_errmsg(db_));
}

bool SqliteCell::Prepare(const std::string &sql, sqlite3_stmt **statement) {
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, statement, nullptr) == SQLITE_OK) return true;
  return FailWithDatabaseMessage("");
}

bool SqliteCell::Execute(const char *sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  return FailWithDatabaseMessage(sql);
}

bool SqliteCell::Open(const char *database, const char *table, const char *column,
                      long long rowId, int busyTimeoutMs) {
  table_ = table;
  column_ = column;
  rowId_ = rowId;
  select_ = "SELECT CAST(" + Quoted(column) + " AS BLOB) FROM " + Quoted(table) +
            " WHERE rowid = ?1";
  update_ = "UPDATE " + Quoted(table) + " SET " + Quoted(column) + " = ?1 WHERE rowid = ?2";
  // Never creates a database: a missing file is a failure.
  if (sqlite3_open_v2(database, &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    return FailWithDatabaseMessage(std::string("cannot open database ") + database);
  }
  // A quoted name that matches no column must be an error, not a string.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_busy_timeout(db_, busyTimeoutMs);
  sqlite3_extended_result_codes(db_, 1);
  // A committed write is on the disk before the call returns.
  if (!Execute("PRAGMA synchronous = FULL")) return false;
  ByteBuffer value;
  bool isNull = false;
  return Load(&value, &isNull);
}

bool SqliteCell::Load(ByteBuffer *bytes, bool *isNull) {
  Statement statement;
  if (!Prepare(select_, statement.out())) return false;
  sqlite3_bind_int64(statement.get(), 1, rowId_);
  int step = sqlite3_step(statement.get());
  if (step == SQLITE_DONE) {
    return Fail("no row with rowid " + std::to_string(rowId_) + " in table " + table_);
  }
  if (step != SQLITE_ROW) return FailWithDatabaseMessage("reading " + column_);
  *isNull = sqlite3_column_type(statement.get(), 0) == SQLITE_NULL;
  const void *data = sqlite3_column_blob(statement.get(), 0);
  const size_t length = static_cast<size_t>(sqlite3_column_bytes(statement.get(), 0));
  if (!bytes->Allocate(length)) return Fail("out of memory");
  if (length > 0) std::memcpy(bytes->data(), data, length);
  return true;
}

bool SqliteCell::Update(const unsigned char *bytes, size_t length, bool null) {
  Statement statement;
  if (!Prepare(update_, statement.out())) return false;
  // The zero-length blob of an empty write is a value, not a null.
  static const unsigned char kNoBytes = 0;
  // A value the database refuses (too long) must fail: left unbound, the
  // parameter would store a null over the old value.
  const int bound = null ? sqlite3_bind_null(statement.get(), 1)
                         : sqlite3_bind_blob64(statement.get(), 1, length > 0 ? bytes : &kNoBytes,
                                               length, SQLITE_STATIC);
  if (bound != SQLITE_OK) return FailWithDatabaseMessage("writing " + column_);
  sqlite3_bind_int64(statement.get(), 2, rowId_);
  if (sqlite3_step(statement.get()) != SQLITE_DONE) {
    return FailWithDatabaseMessage("writing " + column_);
  }
  if (sqlite3_changes(db_) != 1) {
    return Fail("no row with rowid " + std::to_string(rowId_) + " in table " + table_);
  }
  return true;
}

bool SqliteCell::Concatenate(const unsigned char *bytes, size_t length, ByteBuffer *joined) {
  bool isNull = false;
  if (!Load(joined, &isNull)) return false;
  const size_t old = joined->size();
  if (!joined->Resize(old + length)) return Fail("out of memory");
  if (length > 0) std::memcpy(joined->data() + old, bytes, length);
  return true;
}

// The write and the read it extends happen in one immediate transaction, so a
// concurrent writer can slip nothing in between.
bool SqliteCell::Store(const unsigned char *bytes, size_t length, bool append) {
  if (!Execute("BEGIN IMMEDIATE")) return false;
  ByteBuffer joined;
  bool done = !append || Concatenate(bytes, length, &joined);
  if (done && append) done = Update(joined.data(), joined.size(), false);
  if (done && !append) done = Update(bytes, length, false);
  if (done && Execute("COMMIT")) return true;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

bool SqliteCell::StoreNull() { return Update(nullptr, 0, true); }

}  // namespace morphel

#endif  // !_WIN32
