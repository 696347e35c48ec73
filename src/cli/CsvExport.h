// A dataset as CSV: the export format of `pellory export`.
//
//   header   the field names
//   rows     one per record in the dataset's order
//   null     an empty cell; an empty text is "" so the two stay apart
//   numbers  integers in decimal, floats in the shortest text that reads
//            back as the same double ("0.1", "999", "1e+300")
//   text     quoted (quotes doubled) when it holds a comma, a quote, a
//            carriage return or a line feed
// Lines end with "\n".
#pragma once

#include <ostream>
#include <string>
#include <string_view>

class TDataSet;

// Text as one CSV cell.
std::string CsvCell(std::string_view Text);
// Writes the open dataset from its first row; returns the number of rows.
int64_t ExportCsv(TDataSet& Data, std::ostream& Out);
