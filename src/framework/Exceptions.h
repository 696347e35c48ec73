// Exceptions of the component framework.
//
// The engine and the binding report every error as the general `Exception`
// carrying a fixed message; the framework adds only the kinds a platform
// would have of its own: list index errors, text-to-number conversion errors,
// stream errors, file open/create errors and the silent abort that stops a
// pass without an error message.
#pragma once

#include <stdexcept>
#include <string>

// The general exception: a message, nothing else.
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

// Stops the current pass quietly; handlers that catch it show nothing.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
};

// A position outside a list ("List index out of bounds (5)").
class EListError : public Exception {
public:
  using Exception::Exception;
};

// A text that is not a number ("'abc' is not a valid floating point value").
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// Any failure of a stream: the base of the read, format and property errors.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};

// A read that ran short of the requested bytes: "Stream read error".
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A write that could not store every byte: "Stream write error".
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// The bytes are not a property stream at all (wrong signature, bad type byte).
class EInvalidStreamFormat : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A property entry the receiver cannot take: unknown name or wrong value type.
class EInvalidProperty : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A file that cannot be opened for reading ("Cannot open file \"x\". ...").
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A file that cannot be created or overwritten.
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
