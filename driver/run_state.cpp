// driver/run_state.cpp: the process-wide run state and the caller's working directory.
#include "driver/run_state.h"

RunState g_runState;

void SaveWorkingDirectory() {
    g_runState.savedDrive = _getdrive();
    if (_wgetcwd(g_runState.savedDirectory, kSavedDirectorySize) == nullptr) {
        g_runState.savedDirectory[0] = 0;
    }
}

void RestoreWorkingDirectory() {
    _chdrive(g_runState.savedDrive);
    if (g_runState.savedDirectory[0] != 0) _wchdir(g_runState.savedDirectory);
}
