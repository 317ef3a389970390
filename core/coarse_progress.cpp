#include "coarse_progress.h"

namespace core {

void CoarseProgress::step(std::size_t done, std::size_t total) {
    const std::size_t percent = total == 0 ? 0 : done * 100 / total;
    if (m_any && total == m_total && percent == m_percent)
        return;
    m_any = true;
    m_total = total;
    m_percent = percent;
    m_inner.step(done, total);
}

} // namespace core
