// Table names across the two drivers. A Paradox table is a file "NAME.DB";
// a SQLite table has no extension. Programs written for Paradox folders name
// their tables with ".DB", so every place that looks a table up by name
// accepts the name with or without it, through these helpers.
#pragma once

#include <string>
#include <string_view>

// The extension of a Paradox table file.
inline constexpr std::string_view TableExtension = ".DB";

// True when Name ends in ".DB" (letter case ignored) and has more before it.
bool HasTableExtension(std::string_view Name);
// Name without a trailing ".DB"; other names unchanged.
std::string WithoutTableExtension(std::string_view Name);
// Name with ".DB" added when it has no extension at all ("IRIS" gives
// "IRIS.DB"; "IRIS.DB" and "IRIS.txt" stay as they are).
std::string WithTableExtension(std::string_view Name);
// True when Listed (a name a table list shows) and Wanted name the same
// table once ".DB" is added to or dropped from one of them; letter case
// ignored. An exact match (letter case ignored) also counts.
bool SameTableName(std::string_view Listed, std::string_view Wanted);
