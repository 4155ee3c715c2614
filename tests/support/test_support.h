// Shared helpers for the component's tests.
#ifndef MORPHEL_TESTS_SUPPORT_TEST_SUPPORT_H
#define MORPHEL_TESTS_SUPPORT_TEST_SUPPORT_H

#include <string>

#include "core/images.h"

namespace morphel::test {

// A plain object held for one test, released at the end.
class ObjectHolder {
 public:
  ObjectHolder() {
    object_ = new Images();
    object_->AddRef();
  }
  ~ObjectHolder() { object_->Release(); }
  ObjectHolder(const ObjectHolder &) = delete;
  ObjectHolder &operator=(const ObjectHolder &) = delete;
  Images *operator->() const { return object_; }
  Images *get() const { return object_; }

 private:
  Images *object_;
};

// The thread's error information, taken (and so cleared): source and
// description as UTF-8, empty strings when there is none.
struct ErrorText {
  bool present = false;
  std::string source;
  std::string description;
  GUID guid{};
};
ErrorText TakeErrorInfo();

// Clears the thread's error information.
void ClearErrorInfo();

// A BSTR made from UTF-8 text, freed with the holder.
class Bstr {
 public:
  explicit Bstr(const std::string &utf8);
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr &) = delete;
  Bstr &operator=(const Bstr &) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

std::string ToUtf8(BSTR text);

}  // namespace morphel::test

#endif  // MORPHEL_TESTS_SUPPORT_TEST_SUPPORT_H
