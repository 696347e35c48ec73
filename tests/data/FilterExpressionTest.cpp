// The filter language over an in-memory cursor: operators, types, nulls and
// the errors that name a position or a field.
#include <gtest/gtest.h>

#include <optional>

#include "Convert.h"
#include "Exceptions.h"
#include "FilterExpression.h"
#include "TestSupport.h"

namespace {

// One row: N (integer), X (float), S (text), B (Boolean); nullopt is null.
class TRowCursor : public TCursor {
public:
  TRowCursor() {
    FColumns = {{"N", ftInteger, 0}, {"X", ftFloat, 0}, {"S", ftString, 10}, {"Split 3", ftSmallint, 0}};
  }
  std::vector<std::optional<std::string>> Values{"5", "2.5", "abc", "0"};
  int64_t RowCount() override { return 1; }
  bool First() override { return true; }
  bool Next() override { return false; }
  bool Seek(int64_t) override { return true; }
  int64_t Key() const override { return 0; }
  bool IsNull(int C) override { return !Values[static_cast<size_t>(C)]; }
  bool ReadInteger(int C, int64_t& V) override {
    if (IsNull(C)) return false;
    V = StrToInt(*Values[static_cast<size_t>(C)]);
    return true;
  }
  bool ReadFloat(int C, double& V) override {
    if (IsNull(C)) return false;
    V = StrToFloat(*Values[static_cast<size_t>(C)]);
    return true;
  }
  bool ReadText(int C, std::string& V) override {
    if (IsNull(C)) return false;
    V = *Values[static_cast<size_t>(C)];
    return true;
  }
};

bool Eval(const std::string& Text, TRowCursor& Row) { return TFilterExpression(Text, Row.Columns()).Matches(Row); }
bool Eval(const std::string& Text) {
  TRowCursor Row;
  return Eval(Text, Row);
}

std::string ErrorOf(const std::string& Text) {
  TRowCursor Row;
  return MessageOf([&] { TFilterExpression(Text, Row.Columns()); });
}

TEST(TFilterExpression, ComparisonOperatorsOnNumbers) {
  EXPECT_TRUE(Eval("N = 5"));
  EXPECT_TRUE(Eval("[N] = 5.0"));
  EXPECT_FALSE(Eval("N <> 5"));
  EXPECT_TRUE(Eval("N < 10"));  // numeric: as text "5" > "10"
  EXPECT_TRUE(Eval("N > -1"));
  EXPECT_TRUE(Eval("N <= 5"));
  EXPECT_TRUE(Eval("N >= 5"));
  EXPECT_FALSE(Eval("X > 2.5"));
  EXPECT_TRUE(Eval("X >= 25e-1"));
  EXPECT_TRUE(Eval("[Split 3] = 0"));
  EXPECT_TRUE(Eval("1 < 2"));
}

TEST(TFilterExpression, TextComparesByteByByte) {
  EXPECT_TRUE(Eval("S = 'abc'"));
  EXPECT_TRUE(Eval("S = \"abc\""));
  EXPECT_FALSE(Eval("S = 'ABC'"));
  EXPECT_TRUE(Eval("S < 'abd'"));
  EXPECT_TRUE(Eval("N = '5'"));  // a text literal makes the comparison textual
  EXPECT_FALSE(Eval("N = '05'"));
  TRowCursor Row;
  Row.Values[2] = "it's";
  EXPECT_TRUE(Eval("S = 'it''s'", Row));
}

TEST(TFilterExpression, LogicAndPrecedence) {
  EXPECT_TRUE(Eval("N = 1 OR N = 5 AND S = 'abc'"));
  EXPECT_FALSE(Eval("(N = 1 OR N = 5) AND S = 'x'"));
  EXPECT_TRUE(Eval("not N = 1"));
  EXPECT_TRUE(Eval("NOT (N = 1) and x = 2.5"));
  EXPECT_TRUE(Eval("n = 5 And Not s = 'x'"));
}

TEST(TFilterExpression, NullsNeverEqual) {
  TRowCursor Row;
  Row.Values[0] = std::nullopt;
  Row.Values[2] = std::nullopt;
  EXPECT_FALSE(Eval("N = 0", Row));
  EXPECT_TRUE(Eval("N <> 0", Row));
  EXPECT_FALSE(Eval("N < 1", Row));
  EXPECT_FALSE(Eval("S = ''", Row));
  EXPECT_TRUE(Eval("S IS NULL", Row));
  EXPECT_FALSE(Eval("S is not null", Row));
  EXPECT_TRUE(Eval("X IS NOT NULL", Row));
}

TEST(TFilterExpression, ErrorsNamePositionOrField) {
  EXPECT_EQ(ErrorOf("[Splt3] = 0"), "Field 'Splt3' not found");
  EXPECT_EQ(ErrorOf("N = 0 AND Bogus > 1"), "Field 'Bogus' not found");
  EXPECT_EQ(ErrorOf("[Split 3] ="), "Filter error at position 12: expected a field name or a value but the text ended");
  EXPECT_EQ(ErrorOf("[Split 3] = 0)"), "Filter error at position 14: unexpected ')'");
  EXPECT_EQ(ErrorOf("N 5"), "Filter error at position 3: expected a comparison operator instead of '5'");
  EXPECT_EQ(ErrorOf("(N = 5"), "Filter error at position 7: expected ')' but the text ended");
  EXPECT_EQ(ErrorOf("[N = 5"), "Filter error at position 1: missing ']'");
  EXPECT_EQ(ErrorOf("S = 'abc"), "Filter error at position 5: unterminated text");
  EXPECT_EQ(ErrorOf("N = 5 # 3"), "Filter error at position 7: unexpected '#'");
  EXPECT_EQ(ErrorOf("N = 1.2.3"), "Filter error at position 5: invalid number '1.2.3'");
  EXPECT_EQ(ErrorOf("N = 12abc"), "Filter error at position 7: invalid number '12a'");
  EXPECT_EQ(ErrorOf("N IS 5"), "Filter error at position 6: expected NULL instead of '5'");
  EXPECT_EQ(ErrorOf("AND N = 1"), "Filter error at position 1: expected a field name or a value instead of 'AND'");
  EXPECT_EQ(ErrorOf("N = - S"), "Filter error at position 5: '-' must precede a number");
  EXPECT_EQ(ErrorOf("[] = 1"), "Filter error at position 1: empty field name");
}

// Found by fuzzing: thousands of nested parentheses ran the parser's
// recursion out of stack. Deep nesting is an error; ordinary depth parses.
TEST(TFilterExpression, NestingDeeperThanAnyFilterIsRefused) {
  auto Nested = [](int Depth, const std::string& Open) {
    std::string Text;
    for (int i = 0; i < Depth; ++i) Text.append(Open);
    Text.append("N = 5");
    if (Open == "(") Text.append(static_cast<size_t>(Depth), ')');
    return Text;
  };
  EXPECT_EQ(ErrorOf(Nested(200, "(")), "(no exception)");
  EXPECT_EQ(ErrorOf(Nested(200, "NOT ")), "(no exception)");
  EXPECT_EQ(ErrorOf(Nested(201, "(")), "Filter error at position 201: nested deeper than 200 levels");
  EXPECT_EQ(ErrorOf(Nested(100000, "(")), "Filter error at position 201: nested deeper than 200 levels");
  EXPECT_EQ(ErrorOf(Nested(5000, "NOT ")), "Filter error at position 801: nested deeper than 200 levels");
}

}  // namespace
