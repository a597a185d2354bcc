#pragma once
#include <cstdint>

// The figures of a progress bar: a range and a position in it, in bytes when
// the installer reports them, so 64-bit: a product of more than 2 GiB must not
// wrap the bar around.
class TProgressFigures {
public:
    int64_t Min() const { return m_nMin; }
    int64_t Max() const { return m_nMax; }
    int64_t Progress() const { return m_nProgress; }
    // Accepted only while it stays below Max.
    void SetMin(int64_t value);
    // Accepted only while it stays above Min. Progress is not clamped again.
    void SetMax(int64_t value);
    // Clamped into [Min, Max].
    void SetProgress(int64_t value);
    // The engine's report: done, then total. The done value is applied before
    // the total, so it is clamped against the total in force until then, and a
    // total that is not a range leaves the old one.
    void Report(int64_t done, int64_t total);

    // Width of the bar in pixels for a control `width` wide: the ceiling of
    // width / interval * current, so any progress above Min shows a pixel.
    int FillWidth(int width) const;

private:
    int64_t m_nMin = 0;
    int64_t m_nMax = 100;
    int64_t m_nProgress = 0;
};
