#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class IMessageTarget;
class IWorkerHost;

// How a run meets a failure, in one place: how many tries a package and the
// release's description get, how long a try may take, how long to wait before
// asking again, and what happens when the tries are used up — in the window
// the run is suspended and the retry frame asks the user; unattended, the run
// ends with an exit code the calling software reads.
struct TRetryPolicy {
    // Tries of one package, counted in its record so the count survives
    // across workers; a package whose content is wrong counts one too.
    static constexpr uint32_t kDownloadTries = 3;
    // Unattended runs ask for the release this often, a pause apart, before
    // they end with the download failure code.
    static constexpr int kUnattendedVersionQueryTries = 3;
    static constexpr std::chrono::seconds kVersionQueryPause{1};

    // A package try may take as long as `nBytes` need at a slow link's pace,
    // and never less than a floor: a trickle cannot stretch it further.
    static std::chrono::milliseconds TryDeadline(uint64_t nBytes);

    // Shows the retry frame with `text` (the run waits for the user's retry).
    static void ShowRetryFrame(IMessageTarget& window, const std::string& text);
    // Suspends the run, then puts the failed record back with `putBack` (so it
    // waits for the retry like the rest), then shows the retry frame; of
    // several workers that give up together only the first asks the user.
    static void SuspendAndShowRetry(IWorkerHost& host, const std::string& text, const std::function<void()>& putBack);
    // Ends an unattended run: the exit code is set and the window told to quit.
    static void EndUnattended(IMessageTarget& window, int exitCode);
};
