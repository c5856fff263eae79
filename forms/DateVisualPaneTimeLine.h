#pragma once

#include <QWidget>

#include <utility>
#include <vector>

namespace KcForms {

// The 650-pixel line under a day's title: green where the day has video, red over the gaps.
class CDateVisualPaneTimeLine : public QWidget {
    Q_OBJECT

public:
    // First and last pixel of a gap, both inclusive, in 0..kWidth-1.
    using Segment = std::pair<int, int>;

    static constexpr int kWidth = 650;
    static constexpr int kHeight = 3;

    explicit CDateVisualPaneTimeLine(QWidget* pParent = nullptr);

    void clearSegments();
    void addSegment(int nFirst, int nLast);
    const std::vector<Segment>& segments() const { return m_segments; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    std::vector<Segment> m_segments;
};

} // namespace KcForms
