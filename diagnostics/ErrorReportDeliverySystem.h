#pragma once
#include "diagnostics/ErrorReportDelivery.h"

// The request itself, made with the system's HTTP stack once the common
// checks have passed: the same contract as PostErrorReport.
long SendErrorReport(const TErrorReportPost& post);
