// Row filters as SQL conditions, so the server picks the matching rows.
//
// A filter translates only where the server's answer is the dataset's own
// to the row: numeric comparisons of integer, real, double, numeric and
// Boolean fields and number literals (compared as double precision, NaN
// counting as null); text comparisons of text and varchar fields (and of
// types read as text) and integer fields with text literals, byte by byte
// (COLLATE "C"); IS [NOT] NULL; AND, OR, NOT. Each comparison is made
// two-valued as the dataset's are: a null makes "=" and the orderings false
// and "<>" true. Values travel as parameters; names are quoted identifiers.
// Anything else (dates, times, char(n), a float shown as text) does not
// translate, and the dataset evaluates the filter itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "PostgresValues.h"

class TFilterExpression;

struct TPgCondition {
  std::string Sql;                  // with placeholders $1, $2, ...
  std::vector<std::string> Params;  // text values of the placeholders
};

// QuotedColumns and Types: one entry per cursor column, in column order.
std::optional<TPgCondition> TranslateFilter(const TFilterExpression& Filter,
                                            const std::vector<std::string>& QuotedColumns,
                                            const std::vector<TPgColumnType>& Types);
