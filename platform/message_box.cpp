// platform/message_box.cpp: MessageBoxW over the replaceable handler.
#include <atomic>
#include <cstdio>

#include "platform/host_hooks.h"
#include "platform/utf_conversion.h"

namespace {

// Nothing may wait for a person: the box becomes one line on standard error.
int PrintMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    Utf8Text captionLine;
    Utf8Text textLine;
    captionLine.Assign(caption != nullptr ? caption : u"", true);
    textLine.Assign(text != nullptr ? text : u"", true);
    std::fprintf(stderr, "%s: %s\n", captionLine.Get(), textLine.Get());
    return IDOK;
}

std::atomic<MessageBoxHandler> g_messageBoxHandler{PrintMessageBox};

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return g_messageBoxHandler.load()(owner, text, caption, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return g_messageBoxHandler.exchange(handler != nullptr ? handler : PrintMessageBox);
}
