#include "support/RecordingEngine.h"

#include "base/MessageIds.h"

std::vector<uint32_t> TEngineLog::PostedNumbers() const {
    std::vector<uint32_t> numbers;
    for (const TMessage& msg : lstPosted) numbers.push_back(msg.message);
    return numbers;
}

void TRecordingEngine::SetUnnatendedValues(const std::string& name, TCmdInstallType type) {
    m_Log->lstCalls.push_back("SetUnnatendedValues " + name + " " + std::to_string(type));
}

void TRecordingEngine::SetProxyConfig(const TProxySettings& proxy) {
    m_Log->lstCalls.push_back("SetProxyConfig " + proxy.FHost + ":" + std::to_string(proxy.FPort) + " " +
                              proxy.FScheme + " " + proxy.FUserName + " " + proxy.FPassword);
}

void TRecordingEngine::PostThreadMessage(TMessage msg) {
    m_Log->lstCalls.push_back("Post " + MessageName(msg.message));
    m_Log->lstPosted.push_back(std::move(msg));
}
