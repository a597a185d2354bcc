#pragma once

// curl's process-wide set-up, done once whatever the thread; every THttpClient
// calls it, so others need it only for curl handles of their own.
void EnsureCurlGlobalInit();
