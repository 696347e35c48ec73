// A recursive-descent parser for row filters and the evaluator of the tree
// it builds. Text operands reuse scratch strings, so evaluating a numeric
// comparison allocates nothing.
#include "FilterExpression.h"

#include <cctype>
#include <cstdlib>

#include "Convert.h"
#include "Exceptions.h"

namespace {

using TNode = TFilterExpression::TNode;

enum class TTokenKind { tkEnd, tkName, tkNumber, tkText, tkOperator, tkLParen, tkRParen, tkMinus };

struct TToken {
  TTokenKind Kind = TTokenKind::tkEnd;
  std::string Text;
  size_t Position = 0;  // 1-based
  bool Bracketed = false;
};

class TParser {
public:
  TParser(std::string_view Text, const std::vector<TColumnInfo>& Columns,
          std::vector<std::unique_ptr<TNode>>& Nodes)
      : FText(Text), FColumns(Columns), FNodes(Nodes) {
    Advance();
  }

  const TNode* ParseAll() {
    const TNode* Root = ParseOr();
    if (FToken.Kind != TTokenKind::tkEnd) Fail(FToken.Position, "unexpected '" + FToken.Text + "'");
    return Root;
  }

private:
  [[noreturn]] void Fail(size_t Position, const std::string& What) const {
    throw Exception("Filter error at position " + std::to_string(Position) + ": " + What);
  }

  bool IsKeyword(const char* Word) const {
    return FToken.Kind == TTokenKind::tkName && !FToken.Bracketed && SameText(FToken.Text, Word);
  }

  void Advance() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos]))) ++FPos;
    FToken = TToken{};
    FToken.Position = FPos + 1;
    if (FPos >= FText.size()) return;
    const char C = FText[FPos];
    if (C == '[') {
      const size_t Close = FText.find(']', FPos + 1);
      if (Close == std::string_view::npos) Fail(FToken.Position, "missing ']'");
      FToken.Kind = TTokenKind::tkName;
      FToken.Bracketed = true;
      FToken.Text = std::string(FText.substr(FPos + 1, Close - FPos - 1));
      if (FToken.Text.empty()) Fail(FToken.Position, "empty field name");
      FPos = Close + 1;
    } else if (C == '\'' || C == '"') {
      // A doubled quote inside stands for one quote character.
      std::string Value;
      size_t P = FPos + 1;
      for (;;) {
        if (P >= FText.size()) Fail(FToken.Position, "unterminated text");
        if (FText[P] == C) {
          if (P + 1 < FText.size() && FText[P + 1] == C) {
            Value += C;
            P += 2;
            continue;
          }
          break;
        }
        Value += FText[P++];
      }
      FToken.Kind = TTokenKind::tkText;
      FToken.Text = std::move(Value);
      FPos = P + 1;
    } else if (std::isdigit(static_cast<unsigned char>(C)) ||
               (C == '.' && FPos + 1 < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos + 1])))) {
      size_t P = FPos;
      while (P < FText.size() && (std::isdigit(static_cast<unsigned char>(FText[P])) || FText[P] == '.')) ++P;
      if (P < FText.size() && (FText[P] == 'e' || FText[P] == 'E')) {
        size_t Q = P + 1;
        if (Q < FText.size() && (FText[Q] == '+' || FText[Q] == '-')) ++Q;
        if (Q < FText.size() && std::isdigit(static_cast<unsigned char>(FText[Q]))) {
          P = Q;
          while (P < FText.size() && std::isdigit(static_cast<unsigned char>(FText[P]))) ++P;
        }
      }
      FToken.Kind = TTokenKind::tkNumber;
      FToken.Text = std::string(FText.substr(FPos, P - FPos));
      if (!TryStrToFloat(FToken.Text)) Fail(FToken.Position, "invalid number '" + FToken.Text + "'");
      if (P < FText.size() && (std::isalpha(static_cast<unsigned char>(FText[P])) || FText[P] == '_'))
        Fail(P + 1, "invalid number '" + std::string(FText.substr(FPos, P - FPos + 1)) + "'");
      FPos = P;
    } else if (std::isalpha(static_cast<unsigned char>(C)) || C == '_') {
      size_t P = FPos;
      while (P < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[P])) || FText[P] == '_')) ++P;
      FToken.Kind = TTokenKind::tkName;
      FToken.Text = std::string(FText.substr(FPos, P - FPos));
      FPos = P;
    } else if (C == '(' || C == ')') {
      FToken.Kind = C == '(' ? TTokenKind::tkLParen : TTokenKind::tkRParen;
      FToken.Text = std::string(1, C);
      ++FPos;
    } else if (C == '-') {
      FToken.Kind = TTokenKind::tkMinus;
      FToken.Text = "-";
      ++FPos;
    } else if (C == '=' || C == '<' || C == '>') {
      size_t Len = 1;
      if (C != '=' && FPos + 1 < FText.size() &&
          (FText[FPos + 1] == '=' || (C == '<' && FText[FPos + 1] == '>')))
        Len = 2;
      FToken.Kind = TTokenKind::tkOperator;
      FToken.Text = std::string(FText.substr(FPos, Len));
      FPos += Len;
    } else {
      Fail(FToken.Position, "unexpected '" + std::string(1, C) + "'");
    }
  }

  TNode* NewNode(TNodeKind Kind) {
    FNodes.push_back(std::make_unique<TNode>());
    FNodes.back()->Kind = Kind;
    return FNodes.back().get();
  }

  const TNode* ParseOr() {
    const TNode* Left = ParseAnd();
    while (IsKeyword("OR")) {
      Advance();
      TNode* Node = NewNode(TNodeKind::nkOr);
      Node->Left = Left;
      Node->Right = ParseAnd();
      Left = Node;
    }
    return Left;
  }

  const TNode* ParseAnd() {
    const TNode* Left = ParseFactor();
    while (IsKeyword("AND")) {
      Advance();
      TNode* Node = NewNode(TNodeKind::nkAnd);
      Node->Left = Left;
      Node->Right = ParseFactor();
      Left = Node;
    }
    return Left;
  }

  // Parentheses and NOT nest by recursion; a hostile text must not run the
  // stack out, and no filter a person writes comes near this depth.
  static constexpr int32_t MaxNesting = 200;
  struct TNestingGuard {
    explicit TNestingGuard(TParser& P) : Parser(P) {
      if (++Parser.FNesting > MaxNesting)
        Parser.Fail(Parser.FToken.Position, "nested deeper than " + std::to_string(MaxNesting) + " levels");
    }
    ~TNestingGuard() { --Parser.FNesting; }
    TParser& Parser;
  };

  const TNode* ParseFactor() {
    if (IsKeyword("NOT")) {
      const TNestingGuard Guard(*this);
      Advance();
      TNode* Node = NewNode(TNodeKind::nkNot);
      Node->Left = ParseFactor();
      return Node;
    }
    if (FToken.Kind == TTokenKind::tkLParen) {
      const TNestingGuard Guard(*this);
      Advance();
      const TNode* Inner = ParseOr();
      if (FToken.Kind != TTokenKind::tkRParen) Fail(FToken.Position, "expected ')'" + Found());
      Advance();
      return Inner;
    }
    return ParseComparison();
  }

  std::string Found() const {
    return FToken.Kind == TTokenKind::tkEnd ? " but the text ended" : " instead of '" + FToken.Text + "'";
  }

  TOperand ParseOperand() {
    TOperand Operand;
    if (FToken.Kind == TTokenKind::tkMinus) {
      const size_t Position = FToken.Position;
      Advance();
      if (FToken.Kind != TTokenKind::tkNumber) Fail(Position, "'-' must precede a number");
      FToken.Text = "-" + FToken.Text;
    }
    switch (FToken.Kind) {
      case TTokenKind::tkNumber:
        Operand.Kind = TOperandKind::okNumber;
        Operand.Numeric = true;
        Operand.Number = StrToFloat(FToken.Text);
        Operand.Text = FToken.Text;
        break;
      case TTokenKind::tkText:
        Operand.Kind = TOperandKind::okText;
        Operand.Text = FToken.Text;
        break;
      case TTokenKind::tkName:
        if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
          Operand.Kind = TOperandKind::okNumber;
          Operand.Numeric = true;
          Operand.Number = IsKeyword("TRUE") ? 1 : 0;
          Operand.Text = IsKeyword("TRUE") ? "True" : "False";
          break;
        }
        if (IsKeyword("AND") || IsKeyword("OR") || IsKeyword("NOT") || IsKeyword("IS") || IsKeyword("NULL"))
          Fail(FToken.Position, "expected a field name or a value instead of '" + FToken.Text + "'");
        Operand.Kind = TOperandKind::okField;
        for (size_t i = 0; i < FColumns.size(); ++i)
          if (SameText(FColumns[i].Name, FToken.Text)) {
            Operand.Column = static_cast<int>(i);
            break;
          }
        if (Operand.Column < 0) throw Exception("Field '" + FToken.Text + "' not found");
        Operand.Numeric = IsNumericType(FColumns[static_cast<size_t>(Operand.Column)].DataType);
        break;
      default:
        Fail(FToken.Position, "expected a field name or a value" + Found());
    }
    Advance();
    return Operand;
  }

  const TNode* ParseComparison() {
    TOperand A = ParseOperand();
    if (IsKeyword("IS")) {
      Advance();
      TNode* Node = NewNode(TNodeKind::nkIsNull);
      if (IsKeyword("NOT")) {
        Node->Negate = true;
        Advance();
      }
      if (!IsKeyword("NULL")) Fail(FToken.Position, "expected NULL" + Found());
      Advance();
      Node->A = std::move(A);
      return Node;
    }
    if (FToken.Kind != TTokenKind::tkOperator) Fail(FToken.Position, "expected a comparison operator" + Found());
    TNode* Node = NewNode(TNodeKind::nkCompare);
    const std::string& Op = FToken.Text;
    Node->Op = Op == "=" ? TCompareOp::coEqual : Op == "<>" ? TCompareOp::coNotEqual
             : Op == "<" ? TCompareOp::coLess : Op == ">" ? TCompareOp::coGreater
             : Op == "<=" ? TCompareOp::coLessEqual : TCompareOp::coGreaterEqual;
    Advance();
    Node->A = std::move(A);
    Node->B = ParseOperand();
    return Node;
  }

  std::string_view FText;
  const std::vector<TColumnInfo>& FColumns;
  std::vector<std::unique_ptr<TNode>>& FNodes;
  int32_t FNesting = 0;
  size_t FPos = 0;
  TToken FToken;
};

bool ReadNumber(const TOperand& Operand, TCursor& Cursor, double& Value) {
  if (Operand.Kind != TOperandKind::okField) {
    Value = Operand.Number;
    return true;
  }
  return Cursor.ReadFloat(Operand.Column, Value);
}

const std::string* ReadText(const TOperand& Operand, TCursor& Cursor) {
  if (Operand.Kind != TOperandKind::okField) return &Operand.Text;
  Operand.Scratch.clear();
  return Cursor.ReadText(Operand.Column, Operand.Scratch) ? &Operand.Scratch : nullptr;
}

template <class T>
bool Compare(TCompareOp Op, const T& A, const T& B) {
  switch (Op) {
    case TCompareOp::coEqual: return A == B;
    case TCompareOp::coNotEqual: return A != B;
    case TCompareOp::coLess: return A < B;
    case TCompareOp::coGreater: return A > B;
    case TCompareOp::coLessEqual: return A <= B;
    case TCompareOp::coGreaterEqual: return A >= B;
  }
  return false;
}

bool Evaluate(const TNode& Node, TCursor& Cursor) {
  switch (Node.Kind) {
    case TNodeKind::nkAnd: return Evaluate(*Node.Left, Cursor) && Evaluate(*Node.Right, Cursor);
    case TNodeKind::nkOr: return Evaluate(*Node.Left, Cursor) || Evaluate(*Node.Right, Cursor);
    case TNodeKind::nkNot: return !Evaluate(*Node.Left, Cursor);
    case TNodeKind::nkIsNull: {
      const bool Null = Node.A.Kind == TOperandKind::okField && Cursor.IsNull(Node.A.Column);
      return Null != Node.Negate;
    }
    case TNodeKind::nkCompare:
      if (Node.A.Numeric && Node.B.Numeric) {
        double A, B;
        if (!ReadNumber(Node.A, Cursor, A) || !ReadNumber(Node.B, Cursor, B))
          return Node.Op == TCompareOp::coNotEqual;
        return Compare(Node.Op, A, B);
      } else {
        const std::string* A = ReadText(Node.A, Cursor);
        const std::string* B = A ? ReadText(Node.B, Cursor) : nullptr;
        if (!A || !B) return Node.Op == TCompareOp::coNotEqual;
        return Compare(Node.Op, *A, *B);
      }
  }
  return false;
}

}  // namespace

TFilterExpression::TFilterExpression(std::string_view Text, const std::vector<TColumnInfo>& Columns) {
  FNodes.push_back(nullptr);  // slot of the root, filled below
  TParser Parser(Text, Columns, FNodes);
  const TNode* Root = Parser.ParseAll();
  // Keep the root first; the others stay where the parser put them.
  for (size_t i = 1; i < FNodes.size(); ++i)
    if (FNodes[i].get() == Root) {
      std::swap(FNodes[0], FNodes[i]);
      break;
    }
}

TFilterExpression::~TFilterExpression() = default;

bool TFilterExpression::Matches(TCursor& Cursor) const { return Evaluate(*FNodes[0], Cursor); }

bool IsNumericType(TFieldType Type) {
  switch (Type) {
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat: case ftCurrency:
    case ftBCD: case ftDate: case ftTime: case ftDateTime: case ftAutoInc: case ftLargeint:
      return true;
    default:
      return false;
  }
}
