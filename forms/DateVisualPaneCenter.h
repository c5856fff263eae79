#pragma once

#include "forms/Look.h"

#include <QFrame>
#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <optional>

class QLabel;
class QProgressBar;

namespace KcForms {

class CDateVisualPaneTimeLine;

// The rounded plate of a date pane: number, title, lost time, clock times, time line, date and
// size, and the progress bar that covers it all during the export.
class CDateVisualPaneCenter : public QFrame {
    Q_OBJECT

public:
    explicit CDateVisualPaneCenter(QWidget* pParent = nullptr);

    QProgressBar* progressBar() const { return m_pProgressBar; }
    QLabel* numberLabel() const { return m_pNumber; }
    QLabel* titleLabel() const { return m_pTitle; }
    QLabel* lostTimeLabel() const { return m_pLostTime; }
    QLabel* startLabel() const { return m_pStart; }
    QLabel* stopLabel() const { return m_pStop; }
    QLabel* dateLabel() const { return m_pDate; }
    QLabel* sizeLabel() const { return m_pSize; }
    CDateVisualPaneTimeLine* timeLine() const { return m_pTimeLine; }

    // Dates read in Russian whatever the interface language.
    const QLocale& dateLocale() const { return m_dateLocale; }

    // Enables or disables the plate and darkens or restores the red of the lost-time figure.
    void setPlateEnabled(bool bEnabled);
    // One of the Look::Style::Plate... looks; none draws a plain frame (under the export's
    // progress bar).
    void setLook(std::optional<Look::Style> look);
    std::optional<Look::Style> look() const { return m_look; }

    // "Lost: 5 min from 2 hours 10 min" with the lost figure in red.
    static QString lostTimeText(quint64 ullLostSeconds, quint64 ullSpanSeconds);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QLabel* newLabel(const char* pObjectName, const QRect& geometry);

    QLocale m_dateLocale;
    std::optional<Look::Style> m_look;
    QProgressBar* m_pProgressBar = nullptr;
    QLabel* m_pNumber = nullptr;
    QLabel* m_pTitle = nullptr;
    QLabel* m_pLostTime = nullptr;
    QLabel* m_pStart = nullptr;
    QLabel* m_pStop = nullptr;
    CDateVisualPaneTimeLine* m_pTimeLine = nullptr;
    QLabel* m_pDate = nullptr;
    QLabel* m_pSize = nullptr;
};

} // namespace KcForms
