#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// What download and extract workers share: a thread that runs Execute until it
// is asked to terminate. The engine owns the worker objects: it starts them,
// asks them to terminate and joins them; a derived class's destructor does the
// same so that Execute never outlives the members it uses.
//
// Threads: Start, Terminate, Wake and Join are called by the owner (any thread
// but the worker's own for Join); Execute runs on the worker's thread. Nothing
// escapes Execute: a failure that reaches the thread's boundary is logged and
// reported silently.
class TBaseWorkerThread {
public:
    TBaseWorkerThread(const TBaseWorkerThread&) = delete;
    TBaseWorkerThread& operator=(const TBaseWorkerThread&) = delete;
    virtual ~TBaseWorkerThread();

    void Start();
    // Sets the terminated flag and ends an idle wait at once.
    void Terminate();
    bool Terminated() const { return m_bTerminated.load(); }
    // Ends an idle wait early, e.g. when the suspension has been lifted.
    void Wake();
    // Waits for the thread to end; does nothing when it never started or when
    // called from the worker itself.
    void Join();

protected:
    // `namePrefix` names the thread for debuggers and `top` (at most 15
    // characters in all, with a number that tells workers apart).
    explicit TBaseWorkerThread(const std::string& namePrefix);

    virtual void Execute() = 0;
    // Sleeps up to `timeout`; returns early on Terminate or Wake.
    void Idle(std::chrono::milliseconds timeout);
    // Terminate and Join: derived destructors call it first.
    void Stop();
    const std::string& Name() const { return m_strName; }

private:
    void Run();

    std::string m_strName;
    std::thread m_Thread;
    std::atomic<bool> m_bTerminated{false};
    std::mutex m_csIdle;
    std::condition_variable m_cvIdle;
    bool m_bWoken = false;
};
