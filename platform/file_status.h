// platform/file_status.h
//
// The few questions about files that need the system's struct stat, kept in one file so the
// system's stat names meet this layer's _stat64i32 in one place only. Internal to the
// platform layer.
#pragma once

// Whether descriptor is an open directory (false for a bad descriptor).
bool IsDirectoryDescriptor(int descriptor);
