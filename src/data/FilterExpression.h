// Row filter expressions, parsed once and bound to field positions.
//
// Grammar (keywords in any letter case):
//   expr       := term { OR term }
//   term       := factor { AND factor }
//   factor     := NOT factor | "(" expr ")" | comparison
//   comparison := operand ( ("=" | "<>" | "<" | ">" | "<=" | ">=") operand
//                         | IS [NOT] NULL )
//   operand    := [name] | name | number | -number | 'text' | "text" | TRUE | FALSE
// Two operands compare as numbers when both are numeric (number literals,
// TRUE/FALSE, fields of numeric, date, time or Boolean type), otherwise as
// texts, byte by byte. A null never equals anything: "=" and the orderings
// are false, "<>" is true.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Cursor.h"

enum class TNodeKind { nkAnd, nkOr, nkNot, nkCompare, nkIsNull };
enum class TCompareOp { coEqual, coNotEqual, coLess, coGreater, coLessEqual, coGreaterEqual };
enum class TOperandKind { okField, okNumber, okText };

struct TOperand {
  TOperandKind Kind = TOperandKind::okNumber;
  int Column = -1;
  bool Numeric = false;
  double Number = 0;
  std::string Text;             // a literal's text (numbers as written)
  mutable std::string Scratch;  // a field's text in the current row
};

class TFilterExpression {
public:
  // Raises "Filter error at position N: ..." (N counts characters from 1)
  // for malformed text and "Field 'X' not found" for a name that is not
  // among Columns (letter case ignored).
  TFilterExpression(std::string_view Text, const std::vector<TColumnInfo>& Columns);
  ~TFilterExpression();

  // Evaluates the expression on the cursor's current row.
  bool Matches(TCursor& Cursor) const;

  // The parsed tree, read-only, for a driver that evaluates filters itself.
  struct TNode {
    TNodeKind Kind = TNodeKind::nkCompare;
    const TNode* Left = nullptr;   // nkAnd, nkOr, nkNot
    const TNode* Right = nullptr;  // nkAnd, nkOr
    TCompareOp Op = TCompareOp::coEqual;
    TOperand A, B;                 // nkCompare: A Op B; nkIsNull: A
    bool Negate = false;           // IS NOT NULL
  };
  const TNode& Root() const { return *FNodes[0]; }

private:
  std::vector<std::unique_ptr<TNode>> FNodes;  // FNodes[0] is the root
};
