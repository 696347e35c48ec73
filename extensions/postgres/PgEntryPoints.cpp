// The server's entry points: SQL values in, engine calls, SQL values out.
//
// Two worlds meet here and must not cross. A C++ exception must never
// unwind into the server, and a server error (a longjmp) must never jump
// over a C++ destructor. So every entry point follows one shape: first the
// server calls that can raise (arguments, detoasting, allocations), with no
// C++ object alive; then the engine work inside Guarded, which catches
// every exception and keeps only its message; then, with every C++ object
// gone, either the result or ereport(ERROR) with that message.
//
// C++ objects that outlive a call (an aggregate's state, a kept model) are
// owned by a memory context: a reset callback deletes them when the context
// is reset or deleted, also when the query fails.
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "Exceptions.h"
#include "LearningState.h"
#include "ModelCache.h"

extern "C" {
#include "postgres.h"

#include "catalog/pg_type.h"
#include "fmgr.h"
#include "utils/array.h"
#include "utils/builtins.h"
#include "utils/memutils.h"
}

extern "C" {
PG_MODULE_MAGIC;
PG_FUNCTION_INFO_V1(pellory_learn_step_named);
PG_FUNCTION_INFO_V1(pellory_learn_step_coded);
PG_FUNCTION_INFO_V1(pellory_learn_final);
PG_FUNCTION_INFO_V1(pellory_learn_combine);
PG_FUNCTION_INFO_V1(pellory_learn_serialize);
PG_FUNCTION_INFO_V1(pellory_learn_deserialize);
PG_FUNCTION_INFO_V1(pellory_classify);
PG_FUNCTION_INFO_V1(pellory_responses);
}

namespace {

// What an engine call left behind when it failed: the message (cut to fit)
// and the SQL error class.
struct TFailure {
  char Message[1024] = {};
  int Code = ERRCODE_INVALID_PARAMETER_VALUE;
};

template <class TBody> bool Guarded(TBody&& Body, TFailure& Failure) noexcept {
  try {
    Body();
    return true;
  } catch (const std::bad_alloc&) {
    snprintf(Failure.Message, sizeof Failure.Message, "out of memory");
    Failure.Code = ERRCODE_OUT_OF_MEMORY;
  } catch (const std::exception& E) {
    snprintf(Failure.Message, sizeof Failure.Message, "%s", E.what());
  } catch (...) {
    snprintf(Failure.Message, sizeof Failure.Message, "unknown error");
    Failure.Code = ERRCODE_INTERNAL_ERROR;
  }
  return false;
}

// Raises the failure as the server's error; no C++ object may be alive in
// the caller's frame.
[[noreturn]] void RaiseFailure(const char* Function, const TFailure& Failure) {
  ereport(ERROR, (errcode(Failure.Code), errmsg("%s: %s", Function, Failure.Message)));
  pg_unreachable();
}

[[noreturn]] void RaiseArgument(const char* Function, const char* Message) {
  ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("%s: %s", Function, Message)));
  pg_unreachable();
}

// A reset callback of Context, allocated before the object it will delete
// exists, so that registering it cannot fail once the object is made.
template <class T> MemoryContextCallback* NewDeleter(MemoryContext Context) {
  auto* Callback = static_cast<MemoryContextCallback*>(MemoryContextAllocZero(Context, sizeof(MemoryContextCallback)));
  Callback->func = [](void* Object) { delete static_cast<T*>(Object); };
  return Callback;
}

// Hands Object to Context: deleted when the context is reset or deleted.
template <class T> T* OwnedBy(MemoryContext Context, MemoryContextCallback* Deleter, std::unique_ptr<T> Object) {
  Deleter->arg = Object.get();
  MemoryContextRegisterResetCallback(Context, Deleter);
  return Object.release();
}

std::string_view TextArgument(FunctionCallInfo fcinfo, int Index) {
  text* Value = PG_GETARG_TEXT_PP(Index);
  return {VARDATA_ANY(Value), VARSIZE_ANY_EXHDR(Value)};
}

// A one-dimensional array argument of element type Oid, not copied.
template <class T>
TSqlArray<T> ArrayArgument(FunctionCallInfo fcinfo, int Index, Oid ElementType, const char* Function,
                           const char* Name) {
  if (PG_ARGISNULL(Index))
    ereport(ERROR, (errcode(ERRCODE_NULL_VALUE_NOT_ALLOWED),
                    errmsg("%s: %s is NULL; pass an empty array for no values", Function, Name)));
  ArrayType* Array = PG_GETARG_ARRAYTYPE_P(Index);
  if (ARR_NDIM(Array) > 1)
    ereport(ERROR, (errcode(ERRCODE_ARRAY_SUBSCRIPT_ERROR),
                    errmsg("%s: %s has %d dimensions, not one", Function, Name, ARR_NDIM(Array))));
  if (ARR_ELEMTYPE(Array) != ElementType)
    ereport(ERROR, (errcode(ERRCODE_DATATYPE_MISMATCH), errmsg("%s: %s has the wrong element type", Function, Name)));
  TSqlArray<T> Result;
  Result.Count = ARR_NDIM(Array) == 0 ? 0 : ArrayGetNItems(ARR_NDIM(Array), ARR_DIMS(Array));
  Result.Values = reinterpret_cast<const T*>(ARR_DATA_PTR(Array));
  Result.Nulls = ARR_NULLBITMAP(Array);
  return Result;
}

// The bytes as a bytea; a value beyond the server's limit of one value
// (1 GB; a k-NN that stores many millions of examples) is refused by name.
bytea* NewBytea(std::span<const uint8_t> Bytes, const char* Function, const char* What) {
  if (Bytes.size() > MaxAllocSize - VARHDRSZ)
    ereport(ERROR, (errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
                    errmsg("%s: the %s takes %zu bytes, more than the %zu bytes a value may hold", Function, What,
                           Bytes.size(), static_cast<size_t>(MaxAllocSize - VARHDRSZ))));
  auto* Result = static_cast<bytea*>(palloc(VARHDRSZ + Bytes.size()));
  SET_VARSIZE(Result, VARHDRSZ + Bytes.size());
  std::memcpy(VARDATA(Result), Bytes.data(), Bytes.size());
  return Result;
}

std::span<const uint8_t> ByteaBytes(const bytea* Value) {
  return {reinterpret_cast<const uint8_t*>(VARDATA_ANY(Value)), VARSIZE_ANY_EXHDR(Value)};
}

TLearningState* StateArgument(FunctionCallInfo fcinfo, int Index) {
  return PG_ARGISNULL(Index) ? nullptr : reinterpret_cast<TLearningState*>(PG_GETARG_POINTER(Index));
}

MemoryContext AggregateContext(FunctionCallInfo fcinfo, const char* Function) {
  MemoryContext Context = nullptr;
  if (!AggCheckCallContext(fcinfo, &Context))
    ereport(ERROR, (errcode(ERRCODE_FEATURE_NOT_SUPPORTED), errmsg("%s called outside an aggregate", Function)));
  return Context;
}

// The state function of both pellory_learn forms: the class by name (text)
// or by zero-based code (integer).
Datum LearnStep(FunctionCallInfo fcinfo, bool ClassByName) {
  constexpr const char* Function = "pellory_learn";
  const MemoryContext Context = AggregateContext(fcinfo, Function);
  TLearningState* State = StateArgument(fcinfo, 0);
  if (PG_ARGISNULL(1)) RaiseArgument(Function, "kind is NULL; it is one of lc, nb, knn");
  if (PG_ARGISNULL(2))
    RaiseArgument(Function, "class is NULL; learn only rows with a class (WHERE ... IS NOT NULL)");
  const std::string_view Kind = TextArgument(fcinfo, 1);
  const std::string_view ClassName = ClassByName ? TextArgument(fcinfo, 2) : std::string_view();
  const int32_t ClassCode = ClassByName ? 0 : PG_GETARG_INT32(2);
  const TSqlArray<int32_t> Discrete = ArrayArgument<int32_t>(fcinfo, 3, INT4OID, Function, "discrete");
  const TSqlArray<double> Float = ArrayArgument<double>(fcinfo, 4, FLOAT8OID, Function, "floats");
  const std::string_view Settings = PG_NARGS() > 5 && !PG_ARGISNULL(5) ? TextArgument(fcinfo, 5) : std::string_view();
  MemoryContextCallback* Deleter = State ? nullptr : NewDeleter<TLearningState>(Context);

  TFailure Failure;
  const bool Done = Guarded(
      [&] {
        if (State)
          State->CheckRow(Kind, Settings, Discrete.Count, Float.Count);
        else
          State = OwnedBy(Context, Deleter,
                          std::make_unique<TLearningState>(Kind, Settings, Discrete.Count, Float.Count));
        if (ClassByName)
          State->LearnNamed(ClassName, Discrete, Float);
        else
          State->LearnCoded(ClassCode, Discrete, Float);
      },
      Failure);
  if (!Done) RaiseFailure(Function, Failure);
  PG_RETURN_POINTER(State);
}

// What Write makes of the state argument (its model, or the whole state),
// as a bytea; NULL without a state.
Datum StateBytes(FunctionCallInfo fcinfo, std::span<const uint8_t> (TLearningState::*Write)(), const char* What) {
  TLearningState* State = StateArgument(fcinfo, 0);
  if (!State) PG_RETURN_NULL();
  std::span<const uint8_t> Bytes;
  TFailure Failure;
  if (!Guarded([&] { Bytes = (State->*Write)(); }, Failure)) RaiseFailure("pellory_learn", Failure);
  PG_RETURN_BYTEA_P(NewBytea(Bytes, "pellory_learn", What));
}

// A model argument kept in the call site's cache (fn_extra), read again
// only when another model comes.
TModelCache& CachedModel(FunctionCallInfo fcinfo, const char* Function) {
  auto* Cache = static_cast<TModelCache*>(fcinfo->flinfo->fn_extra);
  const MemoryContext Context = fcinfo->flinfo->fn_mcxt;
  if (!Cache) {
    MemoryContextCallback* Deleter = NewDeleter<TModelCache>(Context);
    TFailure Failure;
    if (!Guarded([&] { Cache = OwnedBy(Context, Deleter, std::make_unique<TModelCache>()); }, Failure))
      RaiseFailure(Function, Failure);
    fcinfo->flinfo->fn_extra = Cache;
  }
  // The raw argument: a compressed or out-of-line model stays so until it
  // differs from the kept one.
  auto* Raw = reinterpret_cast<const uint8_t*>(DatumGetPointer(PG_GETARG_DATUM(0)));
  const std::span<const uint8_t> Key(Raw, VARSIZE_ANY(Raw));
  if (!Cache->Holds(Key)) {
    const bytea* Model = PG_GETARG_BYTEA_PP(0);
    TFailure Failure;
    if (!Guarded([&] { Cache->Load(Key, ByteaBytes(Model)); }, Failure)) RaiseFailure(Function, Failure);
  }
  return *Cache;
}

}  // namespace

extern "C" {

Datum pellory_learn_step_named(PG_FUNCTION_ARGS) { return LearnStep(fcinfo, true); }

Datum pellory_learn_step_coded(PG_FUNCTION_ARGS) { return LearnStep(fcinfo, false); }

// The model stream of the learned rows; NULL when there were none.
Datum pellory_learn_final(PG_FUNCTION_ARGS) { return StateBytes(fcinfo, &TLearningState::WriteModel, "model"); }

// Merges the second partial state into the first. The second may live in a
// short-lived context (a deserialized state does), so a first state that is
// NULL becomes a copy in the aggregate's own context, never the second.
Datum pellory_learn_combine(PG_FUNCTION_ARGS) {
  constexpr const char* Function = "pellory_learn";
  const MemoryContext Context = AggregateContext(fcinfo, Function);
  TLearningState* Into = StateArgument(fcinfo, 0);
  const TLearningState* From = StateArgument(fcinfo, 1);
  if (!From) {
    if (!Into) PG_RETURN_NULL();
    PG_RETURN_POINTER(Into);
  }
  MemoryContextCallback* Deleter = Into ? nullptr : NewDeleter<TLearningState>(Context);
  TFailure Failure;
  const bool Done = Guarded(
      [&] {
        if (Into)
          Into->Merge(*From);
        else
          Into = OwnedBy(Context, Deleter, From->Copy());
      },
      Failure);
  if (!Done) RaiseFailure(Function, Failure);
  PG_RETURN_POINTER(Into);
}

Datum pellory_learn_serialize(PG_FUNCTION_ARGS) {
  return StateBytes(fcinfo, &TLearningState::Serialize, "partial state");
}

// The state lives in the calling context, as the server expects of a
// deserialized state; the combine function copies what it keeps.
Datum pellory_learn_deserialize(PG_FUNCTION_ARGS) {
  constexpr const char* Function = "pellory_learn";
  AggregateContext(fcinfo, Function);
  if (PG_ARGISNULL(0)) PG_RETURN_NULL();
  const bytea* Bytes = PG_GETARG_BYTEA_PP(0);
  const MemoryContext Context = CurrentMemoryContext;
  MemoryContextCallback* Deleter = NewDeleter<TLearningState>(Context);
  TLearningState* State = nullptr;
  TFailure Failure;
  if (!Guarded([&] { State = OwnedBy(Context, Deleter, TLearningState::Deserialize(ByteaBytes(Bytes))); }, Failure))
    RaiseFailure(Function, Failure);
  PG_RETURN_POINTER(State);
}

Datum pellory_classify(PG_FUNCTION_ARGS) {
  constexpr const char* Function = "pellory_classify";
  TModelCache& Cache = CachedModel(fcinfo, Function);
  const TSqlArray<int32_t> Discrete = ArrayArgument<int32_t>(fcinfo, 1, INT4OID, Function, "discrete");
  const TSqlArray<double> Float = ArrayArgument<double>(fcinfo, 2, FLOAT8OID, Function, "floats");
  const std::string* Guess = nullptr;
  TFailure Failure;
  if (!Guarded([&] { Guess = &Cache.Classify(Discrete, Float); }, Failure)) RaiseFailure(Function, Failure);
  PG_RETURN_TEXT_P(cstring_to_text_with_len(Guess->data(), static_cast<int>(Guess->size())));
}

Datum pellory_responses(PG_FUNCTION_ARGS) {
  constexpr const char* Function = "pellory_responses";
  TModelCache& Cache = CachedModel(fcinfo, Function);
  const TSqlArray<int32_t> Discrete = ArrayArgument<int32_t>(fcinfo, 1, INT4OID, Function, "discrete");
  const TSqlArray<double> Float = ArrayArgument<double>(fcinfo, 2, FLOAT8OID, Function, "floats");
  std::span<const double> Responses;
  TFailure Failure;
  if (!Guarded([&] { Responses = Cache.Responses(Discrete, Float); }, Failure)) RaiseFailure(Function, Failure);
  Datum* Elements = static_cast<Datum*>(palloc(sizeof(Datum) * (Responses.size() + 1)));
  for (size_t I = 0; I < Responses.size(); ++I) Elements[I] = Float8GetDatum(Responses[I]);
  PG_RETURN_ARRAYTYPE_P(
      construct_array(Elements, static_cast<int>(Responses.size()), FLOAT8OID, sizeof(double), FLOAT8PASSBYVAL, 'd'));
}

}  // extern "C"
