#include "core/state/sharedstate.h"

namespace kov {

static_assert(std::is_default_constructible_v<SharedState>);

void failOutOfRange()
{
    throw Failure(err::OutOfRange);
}

void SharedState::setLimits(const Limits &limits)
{
    m_limits = limits;
    XData.setLast(limits.steps);
    YData.setLast(limits.steps);
    CycleEndStep.setLast(limits.cycles);
    PeakStep.setLast(limits.cycles);
    SkipCrossing.setLast(limits.cycles);
    CycleEnergy.setLast(limits.cycles);
    TotalEnergy.setLast(limits.cycles);
    CycleDamping.setLast(limits.cycles);
    ResultDamping.setLast(limits.cycles);
    CycleStrainEnergy.setLast(limits.cycles);
}

} // namespace kov
