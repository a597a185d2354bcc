#include "platform/windows/ComApartment.h"

#include <objbase.h>

TComApartment::TComApartment() {
    // RPC_E_CHANGED_MODE: the thread is in the multi-threaded apartment already.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    m_bJoined = SUCCEEDED(hr);
}

TComApartment::~TComApartment() {
    if (m_bJoined) CoUninitialize();
}
