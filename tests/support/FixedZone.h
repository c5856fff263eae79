#pragma once

// The program's selected time zone set to the tests' zone (TestZone.h) for one object's lifetime,
// so that days do not depend on the machine; the previous selection returns afterwards.

#include <QTimeZone>

namespace KcTest {

class CFixedZone {
public:
    CFixedZone();
    ~CFixedZone();
    CFixedZone(const CFixedZone&) = delete;
    CFixedZone& operator=(const CFixedZone&) = delete;

private:
    QTimeZone m_previous;
};

} // namespace KcTest
