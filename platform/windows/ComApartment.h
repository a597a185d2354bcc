#pragma once

// COM on the calling thread for the life of this object. Shell calls
// (IShellLinkW, ShellExecuteW) need it, and they run on whichever thread the
// engine or a worker happens to use, so every user joins for its own span.
// A thread already in COM, whatever its apartment, is simply used as it is:
// the shell's objects work in either kind.
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    // CoUninitialize only balances a CoInitializeEx that succeeded.
    bool m_bJoined = false;
};
