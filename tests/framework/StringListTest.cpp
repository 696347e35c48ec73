// String list ordering, case rules, index errors and the text form.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "StringList.h"

namespace {
using Strings = std::vector<std::string>;

std::string IndexMessage(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EListError& E) {
    return E.Message();
  }
  return "<no EListError>";
}

// Owns its attached objects, as the engine's class lists do.
class TOwningList : public TStringList {
public:
  ~TOwningList() override { Clear(); }
  int32_t Add(const std::string& S) override { return AddObject(S, new TObject); }
  void Delete(int32_t Index) override {
    delete Objects(Index);
    TStringList::Delete(Index);
  }
  void Clear() override {
    for (int32_t I = 0; I < Count(); ++I) delete Objects(I);
    TStringList::Clear();
  }
};
}  // namespace

TEST(TStringList, UnsortedKeepsInsertionOrder) {
  TStringList L;
  EXPECT_EQ(L.Add("b"), 0);
  EXPECT_EQ(L.Add("a"), 1);
  L.Insert(0, "c");
  L.Insert(3, "d");  // Count itself is a valid insert position
  EXPECT_EQ(L.ToVector(), (Strings{"c", "b", "a", "d"}));
  L.Delete(1);
  EXPECT_EQ(L.ToVector(), (Strings{"c", "a", "d"}));
  L.SetStrings(0, "x");
  EXPECT_EQ(L.Strings(0), "x");
  EXPECT_EQ(L.Add("a"), 3);  // duplicates are only checked when sorted
}

TEST(TStringList, IndexErrorsNameTheIndex) {
  TStringList L;
  L.Add("a");
  EXPECT_EQ(IndexMessage([&] { L.Strings(1); }), "List index out of bounds (1)");
  EXPECT_EQ(IndexMessage([&] { L.Strings(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(IndexMessage([&] { L.Objects(5); }), "List index out of bounds (5)");
  EXPECT_EQ(IndexMessage([&] { L.SetObjects(1, nullptr); }), "List index out of bounds (1)");
  EXPECT_EQ(IndexMessage([&] { L.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(IndexMessage([&] { L.Insert(2, "x"); }), "List index out of bounds (2)");
  EXPECT_EQ(IndexMessage([&] { L.SetStrings(3, "x"); }), "List index out of bounds (3)");
  EXPECT_EQ(L.Count(), 1);
}

TEST(TStringList, IndexOfIgnoresCase) {
  TStringList L;
  L.Add("Yes");
  L.Add("no");
  EXPECT_EQ(L.IndexOf("YES"), 0);
  EXPECT_EQ(L.IndexOf("No"), 1);
  EXPECT_EQ(L.IndexOf("maybe"), -1);
  L.SetSorted(true);
  EXPECT_EQ(L.IndexOf("yes"), 1);
  EXPECT_EQ(L.IndexOf("NO"), 0);
  EXPECT_EQ(L.IndexOf("maybe"), -1);
}

TEST(TStringList, SortedInsertIgnoresCaseAndIsStable) {
  TStringList L;
  L.SetSorted(true);
  L.SetDuplicates(TDuplicates::dupAccept);
  for (const char* S : {"banana", "Apple", "cherry", "apple", "APPLE", "_x", "Banana"}) L.Add(S);
  EXPECT_EQ(L.ToVector(), (Strings{"_x", "Apple", "apple", "APPLE", "banana", "Banana", "cherry"}));
  int32_t Index = -1;
  EXPECT_TRUE(L.Find("aPPle", Index));
  EXPECT_EQ(Index, 1);  // the first of the equal strings
  EXPECT_FALSE(L.Find("blue", Index));
  EXPECT_EQ(Index, 6);  // where it would go
}

TEST(TStringList, SortIsStableForEqualKeys) {
  TStringList L;
  for (const char* S : {"b1", "A", "B1", "a", "b1", "C"}) L.Add(S);
  L.SetStrings(0, "B1");
  L.Sort();
  EXPECT_EQ(L.ToVector(), (Strings{"A", "a", "B1", "B1", "b1", "C"}));
  EXPECT_FALSE(L.Sorted());  // Sort orders once; it does not keep the list sorted
  L.SetSorted(true);
  EXPECT_TRUE(L.Sorted());
}

TEST(TStringList, DuplicatesRules) {
  TStringList L;
  L.SetSorted(true);
  L.Add("a");
  EXPECT_EQ(L.Add("A"), 0);  // dupIgnore: the existing position
  EXPECT_EQ(L.Count(), 1);
  L.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(L.Add("a"), EListError);
  EXPECT_EQ(L.Count(), 1);
  TObject O;
  L.SetDuplicates(TDuplicates::dupIgnore);
  L.AddObject("a", &O);  // ignored duplicates keep their object
  EXPECT_EQ(L.Objects(0), nullptr);
}

TEST(TStringList, SortedListRefusesPositionalChanges) {
  TStringList L;
  L.Add("b");
  L.SetSorted(true);
  EXPECT_THROW(L.Insert(0, "a"), EListError);
  EXPECT_THROW(L.SetStrings(0, "a"), EListError);
  try {
    L.Insert(0, "a");
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), "Operation not allowed on sorted list");
  }
  L.SetSorted(false);
  L.Insert(0, "z");
  EXPECT_EQ(L.ToVector(), (Strings{"z", "b"}));
}

TEST(TStringList, TextUsesCrLfAndSplitsAnyLineEnd) {
  TStringList L;
  L.Add("yes");
  L.Add("");
  L.Add("no");
  EXPECT_EQ(L.Text(), "yes\r\n\r\nno\r\n");
  L.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(L.ToVector(), (Strings{"a", "b", "c", "d"}));
  L.SetText("a\r\n\r\n");
  EXPECT_EQ(L.ToVector(), (Strings{"a", ""}));
  L.SetText("");
  EXPECT_EQ(L.Count(), 0);
  EXPECT_EQ(L.Text(), "");
}

TEST(TStringList, ObjectsTravelWithTheirStrings) {
  TStringList L;
  TObject A, B;
  L.AddObject("b", &B);
  L.AddObject("a", &A);
  L.SetSorted(true);
  EXPECT_EQ(L.Objects(0), &A);
  EXPECT_EQ(L.Objects(1), &B);
  TStringList Copy;
  Copy.Assign(L);
  EXPECT_EQ(Copy.ToVector(), (Strings{"a", "b"}));
  EXPECT_EQ(Copy.Objects(1), &B);
  TComponent C(nullptr);
  EXPECT_THROW(Copy.Assign(C), EConvertError);
}

TEST(TStringList, OverriddenOperationsAreUsed) {
  TOwningList L;  // leaks under the sanitizers if Clear or Delete were bypassed
  L.Add("a");
  L.Add("b");
  L.SetText("x\r\ny\r\nz");
  EXPECT_EQ(L.Count(), 3);
  EXPECT_NE(L.Objects(2), nullptr);
  L.Delete(0);
  EXPECT_EQ(L.ToVector(), (Strings{"y", "z"}));
}
