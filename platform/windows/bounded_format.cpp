// platform/windows/bounded_format.cpp: vswprintf_s with the answer the library relies on.
#include "platform/platform.h"

int BoundedWideFormat(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments) {
    if (buffer == nullptr || count == 0) return -1;
    if (format == nullptr) {
        buffer[0] = 0;
        return -1;
    }
    // The runtime's own _vsnwprintf answers -1 when the text does not fit, and the full count
    // without a terminator when it fits exactly; both are too long here.
    int written = _vsnwprintf(buffer, count, format, arguments);
    if (written < 0 || static_cast<size_t>(written) >= count) {
        buffer[0] = 0;
        return -1;
    }
    return written;
}
