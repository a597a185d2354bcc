#include "workers/MemoryBudget.h"

TMemoryBudget::TMemoryBudget(uint64_t nLimit) : m_nLimit(nLimit) {}

uint64_t TMemoryBudget::Held() const {
    std::lock_guard lock(m_Mutex);
    return m_nHeld;
}

uint64_t TMemoryBudget::Limit() const {
    std::lock_guard lock(m_Mutex);
    return m_nLimit;
}

void TMemoryBudget::SetLimit(uint64_t nLimit) {
    {
        std::lock_guard lock(m_Mutex);
        m_nLimit = nLimit;
    }
    m_Released.notify_all();
}

void TMemoryBudget::Give(uint64_t bytes) {
    {
        std::lock_guard lock(m_Mutex);
        m_nHeld -= bytes;
    }
    m_Released.notify_all();
}

TMemoryBudget::TReservation::TReservation(TReservation&& other) noexcept
    : m_Budget(other.m_Budget), m_nBytes(other.m_nBytes) {
    other.m_Budget = nullptr;
    other.m_nBytes = 0;
}

TMemoryBudget::TReservation& TMemoryBudget::TReservation::operator=(TReservation&& other) noexcept {
    if (this != &other) {
        Release();
        m_Budget = other.m_Budget;
        m_nBytes = other.m_nBytes;
        other.m_Budget = nullptr;
        other.m_nBytes = 0;
    }
    return *this;
}

TMemoryBudget::TReservation::~TReservation() { Release(); }

void TMemoryBudget::TReservation::Release() {
    if (m_Budget) m_Budget->Give(m_nBytes);
    m_Budget = nullptr;
    m_nBytes = 0;
}
