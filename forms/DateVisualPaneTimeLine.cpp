#include "forms/DateVisualPaneTimeLine.h"

#include "forms/Look.h"

#include <QPainter>

namespace KcForms {

CDateVisualPaneTimeLine::CDateVisualPaneTimeLine(QWidget* pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("timeLine"));
}

void CDateVisualPaneTimeLine::clearSegments()
{
    m_segments.clear();
    update();
}

void CDateVisualPaneTimeLine::addSegment(int nFirst, int nLast)
{
    m_segments.emplace_back(nFirst, nLast);
    update();
}

void CDateVisualPaneTimeLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 1, kWidth, 1), Look::Colour::TimeLine);

    const QColor gap = isEnabled() ? Look::Colour::ErrorRed : Look::Colour::ErrorRedDisabled;
    for (const Segment& segment : m_segments)
        painter.fillRect(QRect(QPoint(segment.first, 0), QPoint(segment.second, kHeight - 1)), gap);
}

} // namespace KcForms
