#pragma once

#include <QMetaType>
#include <QTimeZone>
#include <QWidget>

class QComboBox;
class QLabel;

namespace KcForms {

// Offers the eleven Russian zones from Moscow time minus one hour to Moscow time plus nine hours
// and reports the one the user picks as a plain UTC offset.
class CTimeZoneSelector : public QWidget {
    Q_OBJECT

public:
    explicit CTimeZoneSelector(QWidget* pParent = nullptr);

    // Preselects the item of a zone: by its identifier, else by its standard offset now.
    void selectZone(const QTimeZone& zone);

    int currentIndex() const;
    QComboBox* comboBox() const { return m_pCombo; }

    static constexpr int kZoneCount = 11;

signals:
    void zoneChanged(QTimeZone newZone);

private slots:
    void onZoneChanged(int nIndex);

private:
    QLabel* m_pLabel = nullptr;
    QComboBox* m_pCombo = nullptr;
};

} // namespace KcForms

// The zone travels in a signal; declared here, where the signal is.
Q_DECLARE_METATYPE(QTimeZone)
