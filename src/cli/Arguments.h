// Command-line parsing for `pellory`: one command word, its positional
// arguments and its options, checked against the command's table.
//
// Options may stand anywhere after the command ("--runs 5" or "--runs=5");
// "--" ends the options. Every fault of the command line (unknown command or
// option, a missing or malformed value, too few or too many arguments) is a
// TUsageError, which the tool reports with exit status 2.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Exceptions.h"

class TUsageError : public Exception {
public:
  using Exception::Exception;
};

struct TOptionSpec {
  std::string Name;        // without the dashes: "runs"
  bool TakesValue = true;  // false: a switch such as --prune
};

struct TCommandSyntax {
  std::string Name;
  std::string Usage;  // the whole --help text of the command
  std::vector<TOptionSpec> Options;
  size_t MinPositionals = 0;
  size_t MaxPositionals = 0;
};

class TArguments {
public:
  // Parses Args (the words after the command) for Syntax. --help / -h anywhere
  // sets Help and skips the positional count check.
  TArguments(const TCommandSyntax& Syntax, std::span<const std::string> Args);

  const std::string& Command() const { return FSyntax.Name; }
  bool Help() const { return FHelp; }
  const std::vector<std::string>& Positionals() const { return FPositionals; }
  bool Has(const std::string& Name) const { return FValues.count(Name) != 0; }
  // The option's text, or Default when it was not given.
  std::string Text(const std::string& Name, const std::string& Default = "") const;
  // The option's text; TUsageError "missing --model FILE" style when absent.
  std::string Required(const std::string& Name, const std::string& Placeholder) const;
  // The option as a decimal integer within Min..Max, Default when absent.
  // Anything else is TUsageError "--runs: 'abc' is not an integer from 1 to 30".
  int32_t Integer(const std::string& Name, int32_t Min, int32_t Max, int32_t Default) const;

private:
  const TCommandSyntax& FSyntax;
  bool FHelp = false;
  std::vector<std::string> FPositionals;
  std::map<std::string, std::string> FValues;
};
