// The one place that includes pxlib's header: it declares C functions but has
// no extern "C" of its own.
#pragma once

extern "C" {
#include <paradox.h>
}

#include <memory>
#include <string>

// Boots pxlib once per process; the library keeps no other global state we
// touch. Every document is created through NewPxDocument.
struct TPxDocDeleter {
  void operator()(pxdoc_t* Doc) const;
};
using TPxDocument = std::unique_ptr<pxdoc_t, TPxDocDeleter>;

// A document whose errors are collected (not printed) and readable through
// PxLastError after a call failed.
TPxDocument NewPxDocument();
std::string PxLastError(pxdoc_t* Doc);
