// Polygons from flat variant arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::CountPainted;
using test::Current;
using test::ExpectNoImage;
using test::ExpectRefused;
using test::FirstDifference;
using test::ObjectHolder;
using test::Reference;

constexpr int kWhite = 0x00FFFFFF;

// A one-dimensional array argument, destroyed with the holder.
class ArrayArg {
 public:
  explicit ArrayArg(SAFEARRAY *array, VARTYPE elementType) : array_(array) {
    VariantInit(&arg_);
    V_VT(&arg_) = static_cast<VARTYPE>(VT_ARRAY | elementType);
    V_ARRAY(&arg_) = array_;
  }
  ~ArrayArg() { SafeArrayDestroy(array_); }
  ArrayArg(const ArrayArg &) = delete;
  ArrayArg &operator=(const ArrayArg &) = delete;

  VARIANT *get() { return &arg_; }
  // The same array held by reference.
  VARIANT *ByRef() {
    VariantInit(&ref_);
    V_VT(&ref_) = static_cast<VARTYPE>(V_VT(&arg_) | VT_BYREF);
    V_ARRAYREF(&ref_) = &array_;
    return &ref_;
  }
  SAFEARRAY *array() const { return array_; }

 private:
  SAFEARRAY *array_;
  VARIANT arg_;
  VARIANT ref_;
};

// Elements as variants holding 32-bit integers (what script languages pass).
SAFEARRAY *VariantArray(const std::vector<int> &values, LONG lowerBound = 0) {
  const ULONG count = static_cast<ULONG>(values.size());
  SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, lowerBound, count);
  for (size_t i = 0; i < values.size(); ++i) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = values[i];
    LONG index = lowerBound + static_cast<LONG>(i);
    SafeArrayPutElement(array, &index, &v);
  }
  return array;
}

SAFEARRAY *VariantArrayOf(const std::vector<VARIANT> &values) {
  SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    LONG index = static_cast<LONG>(i);
    SafeArrayPutElement(array, &index, const_cast<VARIANT *>(&values[i]));
  }
  return array;
}

template <typename T>
SAFEARRAY *PlainArray(VARTYPE vt, const std::vector<T> &values) {
  SAFEARRAY *array = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    LONG index = static_cast<LONG>(i);
    T value = values[i];
    SafeArrayPutElement(array, &index, &value);
  }
  return array;
}

VARIANT Number(VARTYPE vt, double value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  switch (vt) {
    case VT_I2: V_I2(&v) = static_cast<SHORT>(value); break;
    case VT_I4: V_I4(&v) = static_cast<LONG>(value); break;
    case VT_R8: V_R8(&v) = value; break;
    case VT_R4: V_R4(&v) = static_cast<float>(value); break;
    case VT_UI1: V_UI1(&v) = static_cast<BYTE>(value); break;
    case VT_I8: V_I8(&v) = static_cast<LONGLONG>(value); break;
    default: break;
  }
  return v;
}

const std::vector<int> kTriangle = {10, 10, 50, 10, 30, 40};

// A white pen on a black canvas.
void Canvas(ObjectHolder &obj, int w = 64, int h = 64) {
  ASSERT_EQ(obj->CreateImage(w, h), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
}

Reference *TriangleOutline() {
  auto *ref = new Reference(64, 64);
  gdImageLine(ref->get(), 10, 10, 50, 10, kWhite);
  gdImageLine(ref->get(), 50, 10, 30, 40, kWhite);
  gdImageLine(ref->get(), 30, 40, 10, 10, kWhite);
  return ref;
}

TEST(Polygons, TriangleOutlineIsItsThreeSides) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray(kTriangle), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
}

TEST(Polygons, FilledTriangleCoversItsInside) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray(kTriangle), VT_VARIANT);
  EXPECT_EQ(obj->DrawFilledPolygon(arg.get(), 6), S_OK);
  EXPECT_EQ(test::Raw(obj, 30, 20), kWhite);
  EXPECT_EQ(test::Raw(obj, 30, 38), kWhite);
  EXPECT_EQ(test::Raw(obj, 12, 11), kWhite);
  EXPECT_EQ(test::Raw(obj, 5, 5), 0);
  EXPECT_EQ(test::Raw(obj, 15, 35), 0);
  EXPECT_EQ(test::Raw(obj, 30, 45), 0);
  // The outline lies inside the filled area.
  std::unique_ptr<Reference> ref(TriangleOutline());
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (gdImageGetPixel(ref->get(), x, y) != 0) {
        EXPECT_EQ(test::Raw(obj, x, y), kWhite);
      }
    }
  }
}

TEST(Polygons, OddCountReadsTheLastValueAndLeavesItOut) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray(kTriangle), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 5), S_OK);
  Reference ref(64, 64);
  gdImageLine(ref.get(), 10, 10, 50, 10, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

TEST(Polygons, AnyLowerBoundGivesTheSameTriangle) {
  for (LONG lb : {1, -3, 1000}) {
    ObjectHolder obj;
    Canvas(obj);
    ArrayArg arg(VariantArray(kTriangle, lb), VT_VARIANT);
    EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
    std::unique_ptr<Reference> ref(TriangleOutline());
    EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "") << lb;
  }
}

// Bounds where upper = lower + count - 1 wraps round: an empty array reads
// nothing and a full one reads its own elements only.
TEST(Polygons, LowerBoundsAtTheEndsOfTheRangeReadTheElementsThereAre) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg empty(SafeArrayCreateVector(VT_R8, INT32_MIN, 0), VT_R8);
  EXPECT_EQ(obj->DrawFilledPolygon(empty.get(), 6), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
  ArrayArg high(SafeArrayCreateVector(VT_I4, INT32_MAX, 6), VT_I4);
  ASSERT_NE(high.array(), nullptr);
  void *data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(high.array(), &data), S_OK);
  std::memcpy(data, kTriangle.data(), 6 * sizeof(int));
  SafeArrayUnaccessData(high.array());
  EXPECT_EQ(obj->DrawPolygon(high.get(), 8), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
}

TEST(Polygons, ByReferenceReadsLikeDirect) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray(kTriangle), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.ByRef(), 6), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
}

TEST(Polygons, CountsZeroAndOneDrawNothing) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray(kTriangle), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 0), S_OK);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 1), S_OK);
  EXPECT_EQ(obj->DrawFilledPolygon(arg.get(), 0), S_OK);
  EXPECT_EQ(obj->DrawFilledPolygon(arg.get(), 1), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

TEST(Polygons, CountBounds) {
  ObjectHolder obj;
  Canvas(obj, 6000, 100);
  ArrayArg small(VariantArray(kTriangle), VT_VARIANT);
  ExpectRefused([&] { return obj->DrawPolygon(small.get(), 9999); });
  ExpectRefused([&] { return obj->DrawFilledPolygon(small.get(), -1); });
  EXPECT_EQ(CountPainted(Current(obj)), 0);
  // 9998 values: 4999 vertices along a zigzag, each one painted.
  std::vector<int> values;
  for (int i = 0; i < 4999; ++i) {
    values.push_back(i);
    values.push_back(i % 2 == 0 ? 10 : 90);
  }
  ArrayArg big(VariantArray(values), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(big.get(), 9998), S_OK);
  EXPECT_EQ(test::Raw(obj, 4998, 10), kWhite);
  EXPECT_EQ(test::Raw(obj, 4997, 90), kWhite);
  EXPECT_EQ(test::Raw(obj, 0, 10), kWhite);
  EXPECT_EQ(test::Raw(obj, 5500, 50), 0);
}

TEST(Polygons, BadArraysAreRefused) {
  ObjectHolder obj;
  Canvas(obj);
  ExpectRefused([&] { return obj->DrawPolygon(nullptr, 6); });
  VARIANT notArray;
  VariantInit(&notArray);
  V_VT(&notArray) = VT_I4;
  ExpectRefused([&] { return obj->DrawPolygon(&notArray, 6); });
  VARIANT nullArray;
  VariantInit(&nullArray);
  V_VT(&nullArray) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&nullArray) = nullptr;
  ExpectRefused([&] { return obj->DrawFilledPolygon(&nullArray, 6); });
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 0}};
  ArrayArg twoD(SafeArrayCreate(VT_I4, 2, bounds), VT_I4);
  ExpectRefused([&] { return obj->DrawPolygon(twoD.get(), 6); });
  // Element type named by the variant but not held by the array.
  ArrayArg mismatch(PlainArray<SHORT>(VT_I2, {10, 10, 50, 10, 30, 40}), VT_I4);
  ExpectRefused([&] { return obj->DrawPolygon(mismatch.get(), 6); });
  ArrayArg strings(SafeArrayCreateVector(VT_BSTR, 0, 6), VT_BSTR);
  ExpectRefused([&] { return obj->DrawPolygon(strings.get(), 6); });
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

TEST(Polygons, EmptySlotComesFirst) {
  ObjectHolder obj;
  ExpectNoImage(obj->DrawPolygon(nullptr, 99999));
  ExpectNoImage(obj->DrawFilledPolygon(nullptr, -1));
}

TEST(Polygons, SixteenBitElementsAreSignExtended) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(PlainArray<SHORT>(VT_I2, {-5, 10, 20, 10}), VT_I2);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 4), S_OK);
  Reference ref(64, 64);
  gdImageLine(ref.get(), -5, 10, 20, 10, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
  EXPECT_EQ(CountPainted(Current(obj)), 21);
}

TEST(Polygons, ThirtyTwoBitElementTypes) {
  for (VARTYPE vt : {VT_I4, VT_UI4, VT_INT, VT_UINT}) {
    ObjectHolder obj;
    Canvas(obj);
    ArrayArg arg(PlainArray<LONG>(vt, {10, 10, 50, 10, 30, 40}), vt);
    EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
    std::unique_ptr<Reference> ref(TriangleOutline());
    EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "") << vt;
  }
}

// The low byte of the type word names the element type; the bits between it
// and the array flag are not looked at.
TEST(Polygons, ElementTypeIsTheLowByteOfTheTypeWord) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(PlainArray<LONG>(VT_I4, {10, 10, 50, 10, 30, 40}),
               static_cast<VARTYPE>(0x0100 | VT_I4));
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
}

TEST(Polygons, VariantElementHolding300Gives300) {
  ObjectHolder obj;
  Canvas(obj, 400, 20);
  ArrayArg arg(VariantArrayOf({Number(VT_I4, 300), Number(VT_I2, 5), Number(VT_I4, 310),
                               Number(VT_I2, 5)}),
               VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 4), S_OK);
  EXPECT_EQ(test::Raw(obj, 300, 5), kWhite);
  EXPECT_EQ(test::Raw(obj, 310, 5), kWhite);
  EXPECT_EQ(CountPainted(Current(obj)), 11);
}

// A 32-bit integer element gives its whole value: -65526 is far off the
// image, not 10 (its low 16 bits).
TEST(Polygons, VariantElementKeepsItsWhole32BitValue) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray({-65526, 5, 0, 5}), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 4), S_OK);
  EXPECT_EQ(test::Raw(obj, 0, 5), kWhite);
  EXPECT_EQ(CountPainted(Current(obj)), 1);
}

TEST(Polygons, NullReferenceIsRefused) {
  ObjectHolder obj;
  Canvas(obj);
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_ARRAY | VT_BYREF | VT_VARIANT;
  V_ARRAYREF(&ref) = nullptr;
  ExpectRefused([&] { return obj->DrawPolygon(&ref, 4); });
  SAFEARRAY *none = nullptr;
  V_ARRAYREF(&ref) = &none;
  ExpectRefused([&] { return obj->DrawFilledPolygon(&ref, 4); });
}

// Fewer values than the count: only the vertices read in full are drawn.
TEST(Polygons, ShortArrayDrawsOnlyCompleteVertices) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg arg(VariantArray({10, 10, 50, 10, 30}), VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
  Reference ref(64, 64);
  gdImageLine(ref.get(), 10, 10, 50, 10, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
  ArrayArg empty(SafeArrayCreateVector(VT_VARIANT, 0, 0), VT_VARIANT);
  EXPECT_EQ(obj->DrawFilledPolygon(empty.get(), 6), S_OK);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

// Other numbers convert as the platform converts them (halves to even);
// values that are no numbers refuse the call and nothing is drawn.
TEST(Polygons, OtherNumbersConvertAndNonNumbersAreRefused) {
  ObjectHolder obj;
  Canvas(obj);
  ArrayArg mixed(VariantArrayOf({Number(VT_R8, 10.5), Number(VT_R4, 9.6), Number(VT_UI1, 50),
                                 Number(VT_I8, 10), Number(VT_R8, 29.5), Number(VT_R8, 40.4)}),
                 VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(mixed.get(), 6), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
  ArrayArg doubles(PlainArray<double>(VT_R8, {10.4, 9.5, 50, 10, 30, 40}), VT_R8);
  EXPECT_EQ(obj->DrawFilledPolygon(doubles.get(), 6), S_OK);
  EXPECT_EQ(test::Raw(obj, 30, 20), kWhite);

  ObjectHolder other;
  Canvas(other);
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocString(u"12");
  ArrayArg withText(VariantArrayOf({Number(VT_I4, 1), Number(VT_I4, 1), text}), VT_VARIANT);
  VariantClear(&text);
  ExpectRefused([&] { return other->DrawPolygon(withText.get(), 4); });
  VARIANT empty;
  VariantInit(&empty);
  ArrayArg withEmpty(VariantArrayOf({Number(VT_I4, 1), empty}), VT_VARIANT);
  ExpectRefused([&] { return other->DrawFilledPolygon(withEmpty.get(), 2); });
  ArrayArg tooBig(VariantArrayOf({Number(VT_R8, 3e10), Number(VT_I4, 1)}), VT_VARIANT);
  ExpectRefused([&] { return other->DrawPolygon(tooBig.get(), 2); });
  EXPECT_EQ(CountPainted(Current(other)), 0);
}

// Currency and decimal elements convert like the other numbers.
TEST(Polygons, CurrencyAndDecimalElementsConvert) {
  ObjectHolder obj;
  Canvas(obj);
  VARIANT money;
  VariantInit(&money);
  V_VT(&money) = VT_CY;
  V_CY(&money).int64 = 105000;  // 10.5, to even: 10
  VARIANT decimal{};
  V_DECIMAL(&decimal).scale = 1;
  V_DECIMAL(&decimal).Lo64 = 95;  // 9.5, to even: 10
  V_VT(&decimal) = VT_DECIMAL;
  ArrayArg arg(VariantArrayOf({money, decimal, Number(VT_I4, 50), Number(VT_I4, 10),
                               Number(VT_I4, 30), Number(VT_I4, 40)}),
               VT_VARIANT);
  EXPECT_EQ(obj->DrawPolygon(arg.get(), 6), S_OK);
  std::unique_ptr<Reference> ref(TriangleOutline());
  EXPECT_EQ(FirstDifference(Current(obj), ref->get()), "");
}

}  // namespace
}  // namespace morphel
