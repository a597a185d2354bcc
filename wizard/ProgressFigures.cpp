#include "wizard/ProgressFigures.h"

#include <algorithm>
#include <cmath>

void TProgressFigures::SetMin(int64_t value) {
    if (value < m_nMax) m_nMin = value;
}

void TProgressFigures::SetMax(int64_t value) {
    if (value > m_nMin) m_nMax = value;
}

void TProgressFigures::SetProgress(int64_t value) { m_nProgress = std::clamp(value, m_nMin, m_nMax); }

void TProgressFigures::Report(int64_t done, int64_t total) {
    SetProgress(done);
    SetMax(total);
}

int TProgressFigures::FillWidth(int width) const {
    const double interval = static_cast<double>(m_nMax - m_nMin);
    const double current = static_cast<double>(m_nProgress - m_nMin);
    return static_cast<int>(std::ceil(static_cast<double>(width) / interval * current));
}
