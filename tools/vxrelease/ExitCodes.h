#pragma once

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // refused or failed
constexpr int kExitUsage = 2;
