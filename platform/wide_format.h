// platform/wide_format.h
//
// The one UTF-16 printf engine behind vswprintf_s, wsprintfW and fwprintf, with the meaning
// that Microsoft's wide family gives the conversions: %s is a wide text and %S a narrow one.
// It writes into a sink, so that bounded buffers and files share every rule. Internal to the
// platform layer.
#pragma once

#include "platform/platform.h"

// Receives the formatted code units in order. Put answers false to stop the engine: a
// bounded buffer is full, or a file refused the write.
class WideSink {
public:
    virtual bool Put(const WCHAR* units, size_t count) = 0;

protected:
    ~WideSink() = default;
};

enum class FormatOutcome {
    kDone,       // the whole output went to the sink
    kBadFormat,  // nothing was written: the format has an unknown or unfinished conversion
    kStopped,    // the sink refused some output; what it took before stays with it
};

// Formats into sink. The conversions: %s (also %ls, %ws) a wide text, null printing
// "(null)"; %S and %hs a narrow UTF-8 text; %c (%lc, %wc) a wide character; %C and %hc a
// narrow one; %d %i %u %x %X %o; %%. Flags - + blank 0 # (0 also pads texts, as Microsoft's
// runtime does), width and precision (both also as *), length modifiers hh h l ll I I32 I64 z
// j t. l and I32 take 32 bits, because Microsoft's long is 32 bits; ll and I64 take 64.
// The whole format is checked before anything is written, so a bad one writes nothing.
FormatOutcome FormatWide(WideSink& sink, const WCHAR* format, va_list arguments);
