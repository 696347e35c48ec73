// The commands of `pellory`, one function each; PelloryTool.cpp holds their
// option tables and dispatches. Each returns the exit status and lets
// runtime errors (Exception) and usage errors (TUsageError) pass to the
// dispatcher, which prints them.
#pragma once

#include "Arguments.h"
#include "PelloryTool.h"

int TablesCommand(const TArguments& Args, TToolIO& IO);
int FieldsCommand(const TArguments& Args, TToolIO& IO);
int ExportCommand(const TArguments& Args, TToolIO& IO);
int ImportCommand(const TArguments& Args, TToolIO& IO);
int CrossTestCommand(const TArguments& Args, TToolIO& IO);
int TrainCommand(const TArguments& Args, TToolIO& IO);
int ClassifyCommand(const TArguments& Args, TToolIO& IO);
int BenchCommand(const TArguments& Args, TToolIO& IO);
