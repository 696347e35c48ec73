// Checks a command line against a command's option table.
#include "Arguments.h"

#include <algorithm>

#include "Convert.h"

TArguments::TArguments(const TCommandSyntax& Syntax, std::span<const std::string> Args) : FSyntax(Syntax) {
  bool OptionsEnded = false;
  for (size_t I = 0; I < Args.size(); ++I) {
    const std::string& Arg = Args[I];
    if (OptionsEnded || Arg.size() < 2 || Arg[0] != '-') {
      FPositionals.push_back(Arg);
      continue;
    }
    if (Arg == "--") {
      OptionsEnded = true;
      continue;
    }
    if (Arg == "--help" || Arg == "-h") {
      FHelp = true;
      continue;
    }
    if (Arg.rfind("--", 0) != 0) throw TUsageError(Syntax.Name + ": unknown option '" + Arg + "'");
    std::string Name = Arg.substr(2);
    std::optional<std::string> Inline;
    if (const size_t Eq = Name.find('='); Eq != std::string::npos) {
      Inline = Name.substr(Eq + 1);
      Name.resize(Eq);
    }
    const auto Found = std::find_if(Syntax.Options.begin(), Syntax.Options.end(),
                                    [&](const TOptionSpec& O) { return O.Name == Name; });
    if (Found == Syntax.Options.end()) throw TUsageError(Syntax.Name + ": unknown option '--" + Name + "'");
    if (FValues.count(Name)) throw TUsageError(Syntax.Name + ": option '--" + Name + "' given twice");
    if (!Found->TakesValue) {
      if (Inline) throw TUsageError(Syntax.Name + ": option '--" + Name + "' takes no value");
      FValues[Name] = "";
      continue;
    }
    if (Inline) {
      FValues[Name] = *Inline;
    } else {
      if (I + 1 >= Args.size()) throw TUsageError(Syntax.Name + ": option '--" + Name + "' needs a value");
      FValues[Name] = Args[++I];
    }
  }
  if (FHelp) return;
  if (FPositionals.size() < Syntax.MinPositionals)
    throw TUsageError(Syntax.Name + ": missing argument (see 'pellory " + Syntax.Name + " --help')");
  if (FPositionals.size() > Syntax.MaxPositionals)
    throw TUsageError(Syntax.Name + ": unexpected argument '" + FPositionals[Syntax.MaxPositionals] + "'");
}

std::string TArguments::Text(const std::string& Name, const std::string& Default) const {
  const auto Found = FValues.find(Name);
  return Found == FValues.end() ? Default : Found->second;
}

std::string TArguments::Required(const std::string& Name, const std::string& Placeholder) const {
  const auto Found = FValues.find(Name);
  if (Found == FValues.end()) throw TUsageError(FSyntax.Name + ": missing --" + Name + " " + Placeholder);
  if (Found->second.empty()) throw TUsageError(FSyntax.Name + ": --" + Name + " needs a non-empty value");
  return Found->second;
}

int32_t TArguments::Integer(const std::string& Name, int32_t Min, int32_t Max, int32_t Default) const {
  const auto Found = FValues.find(Name);
  if (Found == FValues.end()) return Default;
  const std::optional<int32_t> Value = TryStrToInt(Found->second);
  if (!Value || *Value < Min || *Value > Max)
    throw TUsageError(FSyntax.Name + ": --" + Name + ": '" + Found->second + "' is not an integer from " +
                      std::to_string(Min) + " to " + std::to_string(Max));
  return *Value;
}
