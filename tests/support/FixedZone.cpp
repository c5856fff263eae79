#include "FixedZone.h"

#include "TestZone.h"
#include "core/TimeUtil.h"

namespace KcTest {

CFixedZone::CFixedZone()
    : m_previous(KcTime::CTimeUtil::selectedTimeZone())
{
    KcTime::CTimeUtil::setSelectedTimeZone(QTimeZone(kZoneOffset));
}

CFixedZone::~CFixedZone()
{
    KcTime::CTimeUtil::setSelectedTimeZone(m_previous);
}

} // namespace KcTest
