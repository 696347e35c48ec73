// The commands of `pellory`, one function each; PelloryTool.cpp holds their
// option tables and dispatches. Each returns the exit status and lets
// runtime errors (Exception) and usage errors (TUsageError) pass to the
// dispatcher, which prints them.
#pragma once

#include <cstdint>
#include <memory>

#include "Arguments.h"
#include "DataSource.h"
#include "PelloryTool.h"

// The data source the options name: --data DIR, --sqlite FILE, or the folder
// Data beside the program. Both options, or an empty value, is a TUsageError.
std::unique_ptr<TDataSource> OpenDataSource(const TArguments& Args, const TToolIO& IO);

// The most threads `pellory train --threads` and `classify --threads` accept.
constexpr int32_t MaxClassifyThreads = 64;

int TablesCommand(const TArguments& Args, TToolIO& IO);
int FieldsCommand(const TArguments& Args, TToolIO& IO);
int ExportCommand(const TArguments& Args, TToolIO& IO);
int ImportCommand(const TArguments& Args, TToolIO& IO);
int CrossTestCommand(const TArguments& Args, TToolIO& IO);
int TrainCommand(const TArguments& Args, TToolIO& IO);
int ClassifyCommand(const TArguments& Args, TToolIO& IO);
int MergeCommand(const TArguments& Args, TToolIO& IO);
int BenchCommand(const TArguments& Args, TToolIO& IO);
