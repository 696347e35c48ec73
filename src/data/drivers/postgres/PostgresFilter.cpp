// Translation of the filter tree into a WHERE condition.
#include "PostgresFilter.h"

#include "Convert.h"
#include "FilterExpression.h"

namespace {

using TNode = TFilterExpression::TNode;

class TTranslator {
public:
  TTranslator(const std::vector<std::string>& Columns, const std::vector<TPgColumnType>& Types)
      : FColumns(Columns), FTypes(Types) {}

  std::optional<std::string> Node(const TNode& N) {
    switch (N.Kind) {
      case TNodeKind::nkAnd: case TNodeKind::nkOr: {
        auto L = Node(*N.Left);
        auto R = L ? Node(*N.Right) : std::nullopt;
        if (!R) return std::nullopt;
        return "(" + *L + (N.Kind == TNodeKind::nkAnd ? " AND " : " OR ") + *R + ")";
      }
      case TNodeKind::nkNot: {
        auto L = Node(*N.Left);
        if (!L) return std::nullopt;
        return "(NOT " + *L + ")";
      }
      case TNodeKind::nkIsNull:
        // A literal is never null.
        if (N.A.Kind != TOperandKind::okField) return N.Negate ? "TRUE" : "FALSE";
        return "(" + FColumns[static_cast<size_t>(N.A.Column)] + (N.Negate ? " IS NOT NULL)" : " IS NULL)");
      case TNodeKind::nkCompare: {
        const bool Numeric = N.A.Numeric && N.B.Numeric;
        auto A = Numeric ? NumberOperand(N.A) : TextOperand(N.A);
        auto B = A ? (Numeric ? NumberOperand(N.B) : TextOperand(N.B)) : std::nullopt;
        if (!B) return std::nullopt;
        static const char* const Ops[] = {" = ", " <> ", " < ", " > ", " <= ", " >= "};
        const std::string Compare = *A + Ops[static_cast<int>(N.Op)] + *B;
        return "((" + Compare + (N.Op == TCompareOp::coNotEqual ? ") IS NOT FALSE)" : ") IS TRUE)");
      }
    }
    return std::nullopt;
  }

  std::vector<std::string> FParams;

private:
  std::string Param(std::string Value, const char* Type) {
    FParams.push_back(std::move(Value));
    std::string Placeholder(1, '$');
    return Placeholder.append(std::to_string(FParams.size())).append("::").append(Type);
  }

  std::optional<std::string> NumberOperand(const TOperand& O) {
    if (O.Kind != TOperandKind::okField) return Param(FloatToShortest(O.Number), "float8");
    const std::string& Column = FColumns[static_cast<size_t>(O.Column)];
    switch (FTypes[static_cast<size_t>(O.Column)].Kind) {
      case TPgKind::pkInt2: case TPgKind::pkInt4: case TPgKind::pkInt8: return Column + "::float8";
      case TPgKind::pkBool: return Column + "::int::float8";
      // The dataset's NaN equals nothing, as a null; the server's equals itself.
      case TPgKind::pkFloat4: case TPgKind::pkFloat8: case TPgKind::pkNumeric:
        return "NULLIF(" + Column + "::float8, 'NaN'::float8)";
      default: return std::nullopt;
    }
  }

  std::optional<std::string> TextOperand(const TOperand& O) {
    if (O.Kind != TOperandKind::okField) return Param(O.Text, "text") + " COLLATE \"C\"";
    const TPgColumnType& Type = FTypes[static_cast<size_t>(O.Column)];
    const std::string& Column = FColumns[static_cast<size_t>(O.Column)];
    switch (Type.Kind) {
      // char(n) keeps its padding for the dataset but loses it in a cast.
      case TPgKind::pkText:
        if (Type.DataType == ftFixedChar) return std::nullopt;
        [[fallthrough]];
      case TPgKind::pkInt2: case TPgKind::pkInt4: case TPgKind::pkInt8:
        return Column + "::text COLLATE \"C\"";
      default: return std::nullopt;
    }
  }

  const std::vector<std::string>& FColumns;
  const std::vector<TPgColumnType>& FTypes;
};

}  // namespace

std::optional<TPgCondition> TranslateFilter(const TFilterExpression& Filter,
                                            const std::vector<std::string>& QuotedColumns,
                                            const std::vector<TPgColumnType>& Types) {
  TTranslator Translator(QuotedColumns, Types);
  std::optional<std::string> Sql = Translator.Node(Filter.Root());
  if (!Sql) return std::nullopt;
  return TPgCondition{std::move(*Sql), std::move(Translator.FParams)};
}
