#include "workers/BaseWorkerThread.h"

#include <algorithm>

#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "platform/ThreadName.h"

namespace {

std::string NumberedName(const std::string& prefix) {
    static std::atomic<unsigned> s_nNext{1};
    // Linux keeps 15 characters of a thread's name; the number matters more
    // than the end of the prefix.
    std::string number = std::to_string(s_nNext.fetch_add(1));
    std::string name = prefix.substr(0, 15 - std::min<size_t>(number.size() + 1, 15)) + "-" + number;
    return name.substr(0, 15);
}

}  // namespace

TBaseWorkerThread::TBaseWorkerThread(const std::string& namePrefix) : m_strName(NumberedName(namePrefix)) {}

TBaseWorkerThread::~TBaseWorkerThread() { Stop(); }

void TBaseWorkerThread::Start() {
    if (m_Thread.joinable()) return;
    m_Thread = std::thread([this] { Run(); });
}

void TBaseWorkerThread::Terminate() {
    {
        std::lock_guard lock(m_csIdle);
        m_bTerminated.store(true);
    }
    m_cvIdle.notify_all();
}

void TBaseWorkerThread::Wake() {
    {
        std::lock_guard lock(m_csIdle);
        m_bWoken = true;
    }
    m_cvIdle.notify_all();
}

void TBaseWorkerThread::Join() {
    if (m_Thread.joinable() && m_Thread.get_id() != std::this_thread::get_id()) m_Thread.join();
}

void TBaseWorkerThread::Stop() {
    Terminate();
    Join();
    // A worker destroyed from its own thread cannot join itself.
    if (m_Thread.joinable()) m_Thread.detach();
}

void TBaseWorkerThread::Idle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_csIdle);
    m_cvIdle.wait_for(lock, timeout, [this] { return m_bTerminated.load() || m_bWoken; });
    m_bWoken = false;
}

void TBaseWorkerThread::Run() {
    SetCurrentThreadName(m_strName);
    try {
        Execute();
    } catch (const std::exception& e) {
        AppendLog("TBaseWorkerThread.Run: Exception=" + std::string(e.what()) + " Thread=" + m_strName);
        TExceptionObject::SilentException(e);
    } catch (...) {
        AppendLog("TBaseWorkerThread.Run: Exception=unknown Thread=" + m_strName);
        TExceptionObject::SilentException(std::string("TBaseWorkerThread.Run: unknown exception"));
    }
}
