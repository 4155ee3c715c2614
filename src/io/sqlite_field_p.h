// The SQLite-backed field object behind MorphelOpenSqliteField.
#ifndef MORPHEL_IO_SQLITE_FIELD_P_H
#define MORPHEL_IO_SQLITE_FIELD_P_H

#if !defined(_WIN32)

#include "morphel/morphel.h"

namespace morphel {

// How long a field waits for a locked database before it reports the lock.
inline constexpr int kSqliteBusyTimeoutMs = 5000;

// MorphelOpenSqliteField with a chosen wait for a locked database.
HRESULT OpenSqliteField(const char *database, const char *table, const char *column,
                        long long rowId, int busyTimeoutMs, IDispatch **field);

}  // namespace morphel

#endif  // !_WIN32

#endif  // MORPHEL_IO_SQLITE_FIELD_P_H
