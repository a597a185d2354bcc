#pragma once

// Process exit codes of unattended runs.
enum TExitCode : int {
    ecSuccess = 0,
    ecNameAlreadyInstalled = 1,
    ecNoSuchInstallation = 2,
    ecProductRunning = 3,
    ecDownloadFailed = 4,
    ecUnexpected = -1,
};

// The code the process ends with; 0 until a step sets another. Any thread.
void SetExitCode(int code);
int GetExitCode();
