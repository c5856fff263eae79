#include "forms/TimeZoneSelector.h"

#include "forms/Look.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QIcon>
#include <QLabel>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace KcForms {

namespace {

struct SZoneItem {
    const char* id;
    const char* prefix;
    const char* place;
};

// From the east to the west; item i stands for UTC + (12 - i) hours.
const SZoneItem kZones[CTimeZoneSelector::kZoneCount] = {
    {"Asia/Kamchatka", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+9 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Petropavlovsk Kamchatsky, Magadan")},
    {"Asia/Srednekolymsk", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+8 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Sakhalin")},
    {"Asia/Vladivostok", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+7 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Vladivostok")},
    {"Asia/Yakutsk", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+6 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Yakutsk")},
    {"Asia/Irkutsk", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+5 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Irkutsk")},
    {"Asia/Krasnoyarsk", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+4 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Krasnoyarsk")},
    {"Asia/Omsk", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+3 ("), QT_TRANSLATE_NOOP("CTimeZoneSelector", "Omsk")},
    {"Asia/Yekaterinburg", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+2 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Ekaterinburg")},
    {"Europe/Samara", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+1 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Samara")},
    {"Europe/Moscow", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK+0 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Moscow")},
    {"Europe/Kaliningrad", QT_TRANSLATE_NOOP("CTimeZoneSelector", "MSK-1 ("),
     QT_TRANSLATE_NOOP("CTimeZoneSelector", "Kaliningrad")},
};

constexpr int kEasternmostOffsetHours = 12;
constexpr int kWesternmostOffsetHours = 2;

QString translate(const char* pText)
{
    return QCoreApplication::translate("CTimeZoneSelector", pText);
}

} // namespace

CTimeZoneSelector::CTimeZoneSelector(QWidget* pParent)
    : QWidget(pParent)
{
    Look::initResources();
    qRegisterMetaType<QTimeZone>();
    setObjectName(QStringLiteral("CTimeZoneSelector"));
    setMinimumSize(316, 45);
    setAttribute(Qt::WA_StyledBackground, true);

    m_pLabel = new QLabel(QCoreApplication::translate("CTimeZoneSelector", "timezone"), this);
    m_pLabel->setObjectName(QStringLiteral("label_timezone"));
    m_pLabel->setGeometry(6, 1, 106, 13);
    m_pLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_pCombo = new QComboBox(this);
    m_pCombo->setObjectName(QStringLiteral("combo_timezone"));
    m_pCombo->setGeometry(6, 20, 306, 24);
    m_pCombo->setMaxVisibleItems(15);
    // The default popup paints its rows as menu items in the platform palette; a plain item
    // delegate lets the dark style sheet paint the list.
    m_pCombo->setItemDelegate(new QStyledItemDelegate(m_pCombo));
    for (const SZoneItem& zone : kZones)
        m_pCombo->addItem(QIcon(), translate(zone.prefix) + translate(zone.place) + QStringLiteral(")"),
                          QByteArray(zone.id));

    Look::applyStyle(this, Look::Style::TimeZoneSelector);
    Look::applyStyle(m_pLabel, Look::Style::TimeZoneLabel);
    Look::applyStyle(m_pCombo, Look::Style::TimeZoneCombo);
    Look::applyStyle(m_pCombo->view(), Look::Style::TimeZoneList);
    m_pCombo->view()->verticalScrollBar()->setStyle(Look::fusionStyle());

    connect(m_pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTimeZoneSelector::onZoneChanged);
    selectZone(QTimeZone::systemTimeZone());
}

void CTimeZoneSelector::selectZone(const QTimeZone& zone)
{
    if (!zone.isValid())
        return;

    const QByteArray id = zone.id();
    for (int i = 0; i < m_pCombo->count(); ++i) {
        if (m_pCombo->itemData(i).toByteArray() == id) {
            m_pCombo->setCurrentIndex(i);
            return;
        }
    }

    // An unlisted zone: the item with the same standard offset, if the list has one.
    const int hours = zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 3600;
    if (hours >= kWesternmostOffsetHours && hours <= kEasternmostOffsetHours)
        m_pCombo->setCurrentIndex(kEasternmostOffsetHours - hours);
}

int CTimeZoneSelector::currentIndex() const
{
    return m_pCombo->currentIndex();
}

void CTimeZoneSelector::onZoneChanged(int nIndex)
{
    if (nIndex < 0 || nIndex >= kZoneCount)
        return;
    // Standard time only, whatever the place observes: a plain offset east of UTC.
    emit zoneChanged(QTimeZone((kEasternmostOffsetHours - nIndex) * 3600));
}

} // namespace KcForms
