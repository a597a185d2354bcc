#include "workers/DiskReservations.h"

#include <algorithm>

TDiskReservations& TDiskReservations::Process() {
    static TDiskReservations reservations;
    return reservations;
}

TDiskReservations::TTicket::~TTicket() {
    if (m_pOwner) m_pOwner->Release(m_nBytes);
}

void TDiskReservations::TTicket::Written(uint64_t nBytes) {
    const uint64_t nGiven = std::min(nBytes, m_nBytes);
    m_nBytes -= nGiven;
    if (m_pOwner) m_pOwner->Release(nGiven);
}

TDiskReservations::TTicket TDiskReservations::Take(uint64_t nFree,
                                                   const std::function<uint64_t(uint64_t nRoom)>& limitFor) {
    std::lock_guard lock(m_csHeld);
    const uint64_t nRoom = nFree > m_nHeld ? nFree - m_nHeld : 0;
    const uint64_t nBytes = std::min(limitFor(nRoom), nRoom);
    m_nHeld += nBytes;
    return TTicket(*this, nBytes);
}

uint64_t TDiskReservations::Held() const {
    std::lock_guard lock(m_csHeld);
    return m_nHeld;
}

void TDiskReservations::Release(uint64_t nBytes) {
    std::lock_guard lock(m_csHeld);
    m_nHeld -= std::min(nBytes, m_nHeld);
}
