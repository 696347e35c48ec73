// The demo's one per-user setting: the folder that holds the demonstration
// sources, string value "DemoPath" of the settings of organisation
// "Halvorn", application "Corvan".
#pragma once

#include <QString>

// The project file whose presence marks a source folder, and the extension
// of the pages' source files.
inline constexpr const char* ProjectFileName = "Tovrel.cpp";
inline constexpr const char* SourceFileExtension = ".cpp";

// The stored folder; when none is stored and the working folder holds the
// project file, the working folder. Empty when neither. Raises Exception
// "Invalid data type for 'DemoPath'" when the stored value is not a string.
QString GetDemoPath();
// Stores Folder as the source folder.
void SetDemoPath(const QString& Folder);
// Deletes every setting of the demo (the whole settings key).
void ForgetDemoSettings();
// Whether Folder holds the project file (never for an empty name).
bool HoldsProjectFile(const QString& Folder);
