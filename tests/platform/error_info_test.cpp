// Error information: the record's two faces and the per-thread slot.
#include <gtest/gtest.h>

#include <thread>

#include "fake_object.h"
#include "morphel/automation.h"

namespace {

using morphel::test::TextOf;

// A record with the given description, handed over as IErrorInfo.
IErrorInfo *MakeRecord(const char16_t *description) {
  ICreateErrorInfo *create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo *info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
  create->Release();
  return info;
}

std::u16string DescriptionOf(IErrorInfo *info) {
  BSTR text = nullptr;
  EXPECT_EQ(info->GetDescription(&text), S_OK);
  std::u16string result = TextOf(text);
  SysFreeString(text);
  return result;
}

TEST(ErrorInfo, RecordKeepsWhatWasSet) {
  ICreateErrorInfo *create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(create->SetGUID(IID_IDispatch), S_OK);
  EXPECT_EQ(create->SetSource(const_cast<LPOLESTR>(u"Source.Name")), S_OK);
  EXPECT_EQ(create->SetDescription(const_cast<LPOLESTR>(u"It failed")), S_OK);
  EXPECT_EQ(create->SetHelpContext(17), S_OK);
  IErrorInfo *info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
  GUID guid = IID_NULL;
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_TRUE(guid == IID_IDispatch);
  BSTR source = nullptr;
  EXPECT_EQ(info->GetSource(&source), S_OK);
  EXPECT_EQ(TextOf(source), u"Source.Name");
  SysFreeString(source);
  EXPECT_EQ(DescriptionOf(info), u"It failed");
  BSTR help = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(info->GetHelpFile(&help), S_OK);
  EXPECT_EQ(help, nullptr);
  DWORD context = 0;
  EXPECT_EQ(info->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 17u);
  EXPECT_EQ(info->GetDescription(nullptr), E_INVALIDARG);
  EXPECT_EQ(info->Release(), 1u);
  EXPECT_EQ(create->Release(), 0u);
}

TEST(ErrorInfo, InterfacesReachEachOther) {
  ICreateErrorInfo *create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IUnknown *first = nullptr;
  IUnknown *second = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&first)), S_OK);
  IErrorInfo *info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
  ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&second)), S_OK);
  EXPECT_EQ(first, second);  // one identity
  ICreateErrorInfo *again = nullptr;
  ASSERT_EQ(info->QueryInterface(IID_ICreateErrorInfo, reinterpret_cast<void **>(&again)), S_OK);
  EXPECT_EQ(again, create);
  void *none = reinterpret_cast<void *>(1);
  EXPECT_EQ(info->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  again->Release();
  second->Release();
  first->Release();
  info->Release();
  EXPECT_EQ(create->Release(), 0u);
}

TEST(ErrorInfo, GetHandsOverAndClearsTheSlot) {
  IErrorInfo *info = MakeRecord(u"first");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();
  IErrorInfo *taken = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(DescriptionOf(taken), u"first");
  EXPECT_EQ(taken->Release(), 0u);
  IErrorInfo *again = reinterpret_cast<IErrorInfo *>(1);
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_EQ(again, nullptr);
}

TEST(ErrorInfo, SetReplacesAndNullClears) {
  IErrorInfo *first = MakeRecord(u"first");
  IErrorInfo *second = MakeRecord(u"second");
  ASSERT_EQ(SetErrorInfo(0, first), S_OK);
  ASSERT_EQ(SetErrorInfo(0, second), S_OK);
  EXPECT_EQ(first->Release(), 0u);  // the slot let go of the first record
  second->Release();
  IErrorInfo *taken = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_EQ(DescriptionOf(taken), u"second");
  taken->Release();

  IErrorInfo *third = MakeRecord(u"third");
  ASSERT_EQ(SetErrorInfo(0, third), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(third->Release(), 0u);
  EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  IErrorInfo *info = MakeRecord(u"main thread");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();
  HRESULT seenElsewhere = E_FAIL;
  std::thread other([&] {
    IErrorInfo *found = nullptr;
    seenElsewhere = GetErrorInfo(0, &found);
    if (found != nullptr) found->Release();
    // A record left behind on a thread is released when the thread ends.
    IErrorInfo *left = MakeRecord(u"left behind");
    SetErrorInfo(0, left);
    left->Release();
  });
  other.join();
  EXPECT_EQ(seenElsewhere, S_FALSE);
  IErrorInfo *taken = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_EQ(DescriptionOf(taken), u"main thread");
  taken->Release();
}

TEST(ErrorInfo, BadArguments) {
  EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
  IErrorInfo *info = nullptr;
  EXPECT_EQ(GetErrorInfo(1, &info), E_INVALIDARG);
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

}  // namespace
