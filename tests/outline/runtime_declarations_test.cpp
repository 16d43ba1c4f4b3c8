// tests/outline/runtime_declarations_test.cpp
//
// The runtime's operations are declared twice: by the runtime for its own build, and in the
// library's header as the library imports them. Both are C declarations, so seeing both in
// this one translation unit makes any drift in a name's return or argument types a compile
// error instead of a silent mismatch at link time. Nothing is left to check when it runs.
#include "outline/outline_runtime.h"
#include "runtime/brimrt63.h"
