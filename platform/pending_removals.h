// platform/pending_removals.h
//
// Files and folders that a process makes for a while and must not leave behind when it is
// interrupted: the temporaries of outputs being replaced, and a command's scratch folders. The
// host's handler of an interrupt removes them all with RemovePendingPaths, which does only what
// is safe inside a signal handler (no allocation, no locks).
#pragma once

// Remembers path (copied; at most 4,095 bytes) to be removed on an interrupt, a folder after
// everything remembered before it. Answers a slot for ForgetPath, or -1 when the path is too
// long or every slot is taken (the path is then simply not covered).
int RememberPath(const char* path, bool isFolder);
// The path of slot is gone or kept for good: it is no longer removed. -1 does nothing.
void ForgetPath(int slot);
// Removes every remembered path, newest first (files with unlink, folders with rmdir, so a
// folder goes only once what was remembered in it is gone). For signal handlers.
void RemovePendingPaths();
