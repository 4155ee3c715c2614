// The SQLite-backed field against real database files, checked afterwards by
// the sqlite3 command-line tool.
#include <sqlite3.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "io/sqlite_cell_p.h"
#include "io/sqlite_field_p.h"
#include "io_fixture.h"
#include "recording_field.h"
#include "support/test_support.h"

namespace morphel::io_test {
namespace {

// Upper-case hexadecimal, as the command-line tool's hex() prints it.
std::string Hex(const Bytes &bytes) {
  std::string out;
  char digits[3];
  for (unsigned char b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

class SqliteField : public IoTest {
 protected:
  void SetUp() override {
    IoTest::SetUp();
    path_ = ScratchPath(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db");
    std::remove(path_.c_str());
    Sql("CREATE TABLE pictures (id INTEGER PRIMARY KEY, name TEXT, image BLOB);"
        "INSERT INTO pictures (id, name) VALUES (1, 'one'), (2, 'two');");
  }
  void TearDown() override {
    for (IDispatch *field : fields_) field->Release();
    IoTest::TearDown();
  }

  // Runs SQL through the command-line tool and returns what it prints.
  std::string Sql(const std::string &sql) {
    std::string command = "sqlite3 '" + path_ + "' \"" + sql + "\"";
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  HRESULT Open(IDispatch **field, const char *table = "pictures", const char *column = "image",
               long long row = 1, const std::string *database = nullptr) {
    HRESULT hr = OpenSqliteField((database ? *database : path_).c_str(), table, column, row, 50, field);
    if (SUCCEEDED(hr)) fields_.push_back(*field);
    return hr;
  }
  IAdoField *OpenField(long long row = 1) {
    IDispatch *field = nullptr;
    EXPECT_EQ(Open(&field, "pictures", "image", row), S_OK);
    return static_cast<IAdoField *>(field);
  }

  static HRESULT Append(IAdoField *field, const Bytes &bytes) {
    VARIANT data;
    VariantInit(&data);
    V_VT(&data) = VT_ARRAY | VT_UI1;
    V_ARRAY(&data) = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!bytes.empty()) std::memcpy(V_ARRAY(&data)->pvData, bytes.data(), bytes.size());
    HRESULT hr = field->AppendChunk(data);
    VariantClear(&data);
    return hr;
  }
  // A chunk's bytes, or "null" for VT_NULL.
  static std::string Chunk(IAdoField *field, LONG length) {
    VARIANT chunk;
    VariantInit(&chunk);
    EXPECT_EQ(field->GetChunk(length, &chunk), S_OK);
    std::string out = V_VT(&chunk) == VT_NULL ? "null" : "";
    if (V_VT(&chunk) == (VT_ARRAY | VT_UI1)) {
      const auto *data = static_cast<const char *>(V_ARRAY(&chunk)->pvData);
      out.assign(data, V_ARRAY(&chunk)->rgsabound[0].cElements);
    }
    VariantClear(&chunk);
    return out;
  }

  std::string path_;
  std::vector<IDispatch *> fields_;
};

TEST_F(SqliteField, ImagesRoundTripInEveryFormatAndTheToolSeesTheExactBytes) {
  for (int format : {kFormatPng, kFormatJpeg, kFormatWbmp, kFormatGif, kFormatBmp}) {
    SCOPED_TRACE(format);
    ASSERT_EQ(obj()->SetImage(0), S_OK);
    MakePatterned(120, 90);
    const Bytes expected = WriteBytes(format);
    ASSERT_EQ(obj()->WriteToDatabase(ObjectVariant(OpenField())), S_OK);
    EXPECT_EQ(Sql("SELECT hex(image) FROM pictures WHERE id = 1"), Hex(expected));
    ASSERT_EQ(obj()->SetImage(1), S_OK);
    ASSERT_EQ(obj()->ReadFromDatabase(ObjectVariant(OpenField())), S_OK);
    EXPECT_EQ(gdImageSX(obj()->CurrentImage()), 120);
    EXPECT_EQ(gdImageSY(obj()->CurrentImage()), 90);
    if (format == kFormatPng || format == kFormatBmp) {
      EXPECT_EQ(RgbAt(obj()->CurrentImage(), 119, 89), PatternColour(119, 89));
    }
  }
  EXPECT_EQ(Sql("SELECT name, image IS NULL FROM pictures ORDER BY id"), "one|0\ntwo|1");
}

TEST_F(SqliteField, GetChunkReadsOnAndANullValueIsNull) {
  IAdoField *field = OpenField();
  FieldLength size = -1;
  EXPECT_EQ(field->get_ActualSize(&size), S_OK);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(Chunk(field, 10), "null");
  ASSERT_EQ(obj()->ReadFromDatabase(ObjectVariant(field)), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");

  Sql("UPDATE pictures SET image = CAST('abcdefghij' AS BLOB) WHERE id = 1");
  EXPECT_EQ(field->get_ActualSize(&size), S_OK);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(Chunk(field, 4), "abcd");
  EXPECT_EQ(Chunk(field, 4), "efgh");
  EXPECT_EQ(Chunk(field, 4), "ij");
  EXPECT_EQ(Chunk(field, 4), "null");
  VARIANT chunk;
  EXPECT_EQ(field->GetChunk(-1, &chunk), E_INVALIDARG);
  EXPECT_EQ(test::TakeErrorInfo().source, "Morphel.SqliteField");
}

TEST_F(SqliteField, FirstAppendReplacesLaterOnesAppendAndEachIsCommitted) {
  Sql("UPDATE pictures SET image = x'FFFF' WHERE id = 1");
  IAdoField *first = OpenField();
  ASSERT_EQ(Append(first, {1, 2}), S_OK);
  EXPECT_EQ(Sql("SELECT hex(image) FROM pictures WHERE id = 1"), "0102");
  ASSERT_EQ(Append(first, {3}), S_OK);
  EXPECT_EQ(Sql("SELECT hex(image) FROM pictures WHERE id = 1"), "010203");
  // A second object on the same row starts over; the first one goes on appending.
  IAdoField *second = OpenField();
  ASSERT_EQ(Append(second, {9}), S_OK);
  ASSERT_EQ(Append(first, {4}), S_OK);
  ASSERT_EQ(Append(second, {}), S_OK);
  EXPECT_EQ(Sql("SELECT hex(image), typeof(image) FROM pictures WHERE id = 1"), "0904|blob");
  EXPECT_EQ(Sql("SELECT image IS NULL FROM pictures WHERE id = 2"), "1");
}

TEST_F(SqliteField, MissingPiecesFailWithAMessage) {
  const std::string missing = path_ + ".missing";
  struct Case {
    const char *table;
    const char *column;
    long long row;
    const std::string *database;
    const char *message;
  } cases[] = {{"pictures", "image", 1, &missing, "cannot open database"},
               {"albums", "image", 1, nullptr, "no such table: albums"},
               {"pictures", "photo", 1, nullptr, "no such column: photo"},
               {"pictures", "image", 3, nullptr, "no row with rowid 3 in table pictures"}};
  for (const Case &c : cases) {
    IDispatch *field = reinterpret_cast<IDispatch *>(1);
    EXPECT_EQ(Open(&field, c.table, c.column, c.row, c.database), E_FAIL);
    EXPECT_EQ(field, nullptr);
    EXPECT_NE(test::TakeErrorInfo().description.find(c.message), std::string::npos) << c.message;
  }
  EXPECT_NE(access(missing.c_str(), F_OK), 0) << "no database is created";

  IAdoField *field = OpenField(2);
  Sql("DELETE FROM pictures WHERE id = 2");
  EXPECT_EQ(Append(field, {1}), E_FAIL);
  EXPECT_EQ(test::TakeErrorInfo().description, "no row with rowid 2 in table pictures");
  MakePatterned(2, 2);
  EXPECT_EQ(obj()->WriteToDatabase(ObjectVariant(field)), E_FAIL);
  EXPECT_EQ(test::TakeErrorInfo().description, "no row with rowid 2 in table pictures");
}

// 2 GiB is past the longest value any SQLite build takes; the mapped zero
// pages are never read.
TEST_F(SqliteField, AValueTooLongForTheDatabaseFailsAndKeepsTheOldOne) {
  Sql("UPDATE pictures SET image = x'ABCD' WHERE id = 1");
  SqliteCell cell;
  ASSERT_TRUE(cell.Open(path_.c_str(), "pictures", "image", 1, 50)) << cell.error();
  const size_t length = size_t{1} << 31;
  void *bytes = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(bytes, MAP_FAILED);
  EXPECT_FALSE(cell.Store(static_cast<const unsigned char *>(bytes), length, false));
  munmap(bytes, length);
  EXPECT_EQ(cell.error(), "writing image: string or blob too big");
  EXPECT_EQ(Sql("SELECT hex(image) FROM pictures WHERE id = 1"), "ABCD");
}

TEST_F(SqliteField, ALockedDatabaseIsWaitedForThenReported) {
  IAdoField *field = OpenField();
  sqlite3 *other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Append(field, {1}), E_FAIL);
  EXPECT_NE(test::TakeErrorInfo().description.find("database is locked"), std::string::npos);
  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_EQ(Append(field, {1}), S_OK);
  EXPECT_EQ(Sql("SELECT hex(image) FROM pictures WHERE id = 1"), "01");
}

TEST_F(SqliteField, MembersByName) {
  IDispatch *field = OpenField();
  auto call = [&](const char16_t *name, WORD flags, std::vector<VARIANT> args, VARIANT *result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(field->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                         static_cast<UINT>(args.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    EXCEPINFO exception{};
    HRESULT hr = field->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    return hr;
  };
  VARIANT result;
  VariantInit(&result);
  VARIANT bytes;
  VariantInit(&bytes);
  V_VT(&bytes) = VT_BSTR;
  V_BSTR(&bytes) = SysAllocStringByteLen("xyz", 3);
  VARIANT asArray;
  VariantInit(&asArray);
  ASSERT_EQ(VariantChangeType(&asArray, &bytes, 0, VT_ARRAY | VT_UI1), S_OK);
  EXPECT_EQ(call(u"appendchunk", DISPATCH_METHOD, {asArray}, nullptr), S_OK);
  EXPECT_EQ(call(u"ActualSize", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), 3);
  VARIANT two;
  VariantInit(&two);
  V_VT(&two) = VT_BSTR;
  V_BSTR(&two) = SysAllocString(u"2");
  EXPECT_EQ(call(u"GetChunk", DISPATCH_METHOD, {two}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_ARRAY | VT_UI1);
  EXPECT_EQ(V_ARRAY(&result)->rgsabound[0].cElements, 2u);
  VariantClear(&result);
  EXPECT_EQ(call(u"Name", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(test::ToUtf8(V_BSTR(&result)), "image");
  VariantClear(&result);
  EXPECT_EQ(call(u"AppendChunk", DISPATCH_METHOD, {two}, nullptr), DISP_E_EXCEPTION);
  VARIANT null;
  VariantInit(&null);
  V_VT(&null) = VT_NULL;
  EXPECT_EQ(call(u"Value", DISPATCH_PROPERTYPUT, {null}, nullptr), S_OK);
  EXPECT_EQ(call(u"Value", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_NULL);
  for (VARIANT *v : {&bytes, &asArray, &two}) VariantClear(v);
}

}  // namespace
}  // namespace morphel::io_test
