"""Database fields: a field of an SQLite table row, made by the library, for
WriteToDatabase and ReadFromDatabase."""
import os
from ctypes import POINTER, byref, c_char_p, c_longlong, c_void_p

from . import _automation as au
from ._dispatch import Dispatch, thread_error

_ENTRY = "MorphelOpenSqliteField"


class Field(Dispatch):
    """A database field object; pass it to `WriteToDatabase`/`ReadFromDatabase`."""

    _kind = "database field"


def has_sqlite_fields():
    """Whether the loaded library can open SQLite fields."""
    return hasattr(au.lib(), _ENTRY)


def sqlite_field(database, table, column, rowid):
    """The field `column` of the row `rowid` of `table` in the SQLite file
    `database` (the file name as the file system spells it; names in UTF-8)."""
    if not has_sqlite_fields():
        raise NotImplementedError(f"{au.lib()._name} has no SQLite fields ({_ENTRY} is missing)")
    open_field = getattr(au.lib(), _ENTRY)
    open_field.restype = au.HRESULT
    open_field.argtypes = [c_char_p, c_char_p, c_char_p, c_longlong, POINTER(c_void_p)]
    field = c_void_p()
    status = open_field(os.fsencode(database), table.encode("utf-8"), column.encode("utf-8"),
                        rowid, byref(field))
    if status < 0 or not field.value:
        raise thread_error(status, _ENTRY)
    return Field(field.value, add_reference=False)
