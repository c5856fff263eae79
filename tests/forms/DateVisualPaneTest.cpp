#include "forms/DateVisualPane.h"
#include "core/DisplayText.h"
#include "forms/DateVisualPaneCenter.h"
#include "forms/DateVisualPaneTimeLine.h"
#include "forms/SridVisualHeader.h"

#include <QDateTime>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "FormsTestSupport.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using KcForms::CDateVisualPane;
using KcForms::CDateVisualPaneCenter;
using KcForms::CDateVisualPaneTimeLine;
using Segments = std::vector<CDateVisualPaneTimeLine::Segment>;

namespace {

// Local midnight of 15 March 2026, in the seconds the fragments carry.
const double kDay = double(QDateTime(QDate(2026, 3, 15), QTime(0, 0), Qt::UTC).toSecsSinceEpoch());
const double kMorning = kDay + 8 * 3600 + 12 * 60 + 30; // 08:12:30

// A day of camera "CAM", display number 2, from start to stop (seconds after kMorning) with
// video parts given the same way.
KcWorkers::SExportEntry entry(double start, double stop, const std::vector<std::pair<double, double>>& parts,
                              quint64 ullSize = 5000)
{
    KcWorkers::SExportEntry result;
    result.srid = L"CAM";
    result.displayNumber = L"2";
    result.fragment.windowStart = kDay;
    result.fragment.windowEnd = kDay + 86400;
    result.fragment.startTime = kMorning + start;
    result.fragment.endTime = kMorning + stop;
    result.fragment.estimatedSize = ullSize;
    for (const auto& [partStart, partStop] : parts) {
        KELMNameSpace::SMediaPart part;
        part.startTime = kMorning + partStart;
        part.endTime = kMorning + partStop;
        result.fragment.videoParts.push_back(part);
    }
    return result;
}

QString lostText(const CDateVisualPane& pane)
{
    return pane.plate()->lostTimeLabel()->text();
}

const Segments& segments(const CDateVisualPane& pane)
{
    return pane.plate()->timeLine()->segments();
}

void sendEnter(CDateVisualPane& pane)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&pane, &event);
}

void sendLeave(CDateVisualPane& pane)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&pane, &event);
}

QRgb timeLinePixel(const CDateVisualPane& pane, int x, int y)
{
    return pane.plate()->timeLine()->grab().toImage().pixel(x, y);
}

} // namespace

TEST(DateVisualPaneTest, NamesTheDayAsTheExportWill)
{
    CDateVisualPane pane;
    pane.setNumber(12);
    pane.setData(entry(0, 34360, {{0, 34360}})); // 08:12:30 to 17:45:10

    const CDateVisualPaneCenter* pPlate = pane.plate();
    EXPECT_EQ(pPlate->numberLabel()->text(), QStringLiteral("12"));
    // The stop is rounded up to the next whole minute.
    EXPECT_EQ(pPlate->titleLabel()->text(), QStringLiteral("CAM_2_15.03.26_08.12-17.46"));
    EXPECT_EQ(pPlate->dateLabel()->text(), QString::fromUtf8("15 марта 2026"));
    EXPECT_EQ(pPlate->startLabel()->text(), QStringLiteral("08:12"));
    EXPECT_EQ(pPlate->stopLabel()->text(), QStringLiteral("17:46"));
    EXPECT_EQ(pPlate->sizeLabel()->text(), QStringLiteral("4 Kb"));

    const qint64 dayNumber = QDate(1970, 1, 1).daysTo(QDate(2026, 3, 15));
    EXPECT_EQ(pane.exportKey(), QStringLiteral("%1").arg(dayNumber, 12, 10, QLatin1Char('0')) + "2CAM");
    EXPECT_EQ(pane.srid(), QStringLiteral("CAM"));
}

TEST(DateVisualPaneTest, StopOnAWholeMinuteStaysThere)
{
    CDateVisualPane pane;
    pane.setData(entry(-30, 34350, {{-30, 34350}})); // 08:12:00 to 17:45:00
    EXPECT_EQ(pane.plate()->titleLabel()->text(), QStringLiteral("CAM_2_15.03.26_08.12-17.45"));
    EXPECT_EQ(pane.plate()->stopLabel()->text(), QStringLiteral("17:45"));
}

TEST(DateVisualPaneTest, StartLaterThanStopFillsOnlyTitleSizeAndKey)
{
    CDateVisualPane pane;
    pane.setData(entry(100, 50, {{0, 100}}, 2048));

    const CDateVisualPaneCenter* pPlate = pane.plate();
    EXPECT_EQ(pPlate->dateLabel()->text(), QStringLiteral("incorrect time value"));
    EXPECT_TRUE(pPlate->startLabel()->text().isEmpty());
    EXPECT_TRUE(pPlate->stopLabel()->text().isEmpty());
    EXPECT_TRUE(lostText(pane).isEmpty());
    EXPECT_TRUE(segments(pane).empty());
    EXPECT_EQ(pPlate->sizeLabel()->text(), QStringLiteral("2 Kb"));
    EXPECT_FALSE(pPlate->titleLabel()->text().isEmpty());
    EXPECT_FALSE(pane.exportKey().isEmpty());
}

TEST(DateVisualPaneTest, LostTimeAndGaps)
{
    struct SCase {
        const char* name;
        double start;
        double stop;
        std::vector<std::pair<double, double>> parts;
        QString lost;
        Segments gaps;
    };
    // Spans of 650 s put one second on one pixel of the line.
    const std::vector<SCase> cases = {
        {"nine seconds missing", 0, 1000, {{0, 500}, {509, 1000}}, QString(), {}},
        {"ten seconds missing",
         0,
         650,
         {{0, 300}, {310, 650}},
         QStringLiteral("<html>Lost: <font color=#DD4B4B>10 sec</font> from 11 min </html>"),
         {{301, 309}}},
        {"gaps at both ends",
         0,
         650,
         {{100, 550}},
         QStringLiteral("<html>Lost: <font color=#DD4B4B>3 min 20 sec</font> from 11 min </html>"),
         {{0, 99}, {551, 649}}},
        {"parts reaching outside are clipped, parts wholly outside ignored",
         0,
         650,
         {{-100, 50}, {600, 700}, {700, 720}, {-300, -200}},
         QStringLiteral("<html>Lost: <font color=#DD4B4B>4 min 40 sec</font> from 11 min </html>"),
         {{51, 599}}},
        {"no video at all",
         0,
         3725,
         {},
         QStringLiteral("<html>Lost: <font color=#DD4B4B>1 hour 3 min </font> from 1 hour 3 min </html>"),
         {{0, 649}}},
        {"a part that ends before it starts covers nothing",
         0,
         650,
         {{0, 325}, {500, 400}},
         QStringLiteral("<html>Lost: <font color=#DD4B4B>5 min 25 sec</font> from 11 min </html>"),
         {{326, 399}, {401, 649}}}, // on the line it still marks the one pixel of its end
    };

    for (const SCase& c : cases) {
        CDateVisualPane pane;
        pane.setData(entry(c.start, c.stop, c.parts));
        EXPECT_EQ(lostText(pane), c.lost) << c.name;
        EXPECT_EQ(segments(pane), c.gaps) << c.name;
    }
}

TEST(DateVisualPaneTest, NewDataReplacesTheOldGaps)
{
    CDateVisualPane pane;
    pane.setData(entry(0, 650, {{100, 550}}));
    ASSERT_FALSE(segments(pane).empty());

    pane.setData(entry(0, 650, {{0, 650}}));
    EXPECT_TRUE(segments(pane).empty());
    EXPECT_TRUE(lostText(pane).isEmpty());
}

TEST(DateVisualPaneTest, DeleteAndRestoreReportTheDayAndRecolourIt)
{
    CDateVisualPane pane;
    pane.setData(entry(0, 650, {{100, 550}}));
    QSignalSpy enabled(&pane, &CDateVisualPane::exportEnabled);
    const QRgb kRed = qRgb(221, 75, 75);
    const QRgb kDarkRed = qRgb(90, 46, 46);
    const QRgb kGreen = qRgb(44, 188, 108);

    EXPECT_EQ(timeLinePixel(pane, 50, 0), kRed);
    EXPECT_EQ(timeLinePixel(pane, 50, 2), kRed);
    EXPECT_EQ(timeLinePixel(pane, 300, 1), kGreen);

    pane.onDeleteButtonPressed();
    ASSERT_EQ(enabled.count(), 1);
    EXPECT_EQ(enabled.at(0).at(0).toString(), pane.exportKey());
    EXPECT_FALSE(enabled.at(0).at(1).toBool());
    EXPECT_FALSE(pane.isExportEnabled());
    EXPECT_FALSE(pane.plate()->isEnabled());
    EXPECT_TRUE(lostText(pane).contains(QStringLiteral("color=#5A2E2E")));
    EXPECT_FALSE(lostText(pane).contains(QStringLiteral("DD4B4B")));
    EXPECT_EQ(timeLinePixel(pane, 50, 1), kDarkRed);
    EXPECT_TRUE(pane.deleteButton()->isHidden());
    EXPECT_FALSE(pane.restoreButton()->isHidden());

    pane.onRestoreButtonPressed();
    ASSERT_EQ(enabled.count(), 2);
    EXPECT_TRUE(enabled.at(1).at(1).toBool());
    EXPECT_TRUE(pane.isExportEnabled());
    EXPECT_TRUE(pane.plate()->isEnabled());
    EXPECT_TRUE(lostText(pane).contains(QStringLiteral("color=#DD4B4B")));
    EXPECT_EQ(timeLinePixel(pane, 50, 1), kRed);
    EXPECT_FALSE(pane.deleteButton()->isHidden());
    EXPECT_TRUE(pane.restoreButton()->isHidden());
}

TEST(DateVisualPaneTest, HoverOffersDeleteOrRestoreOnlyBeforeTheExport)
{
    for (int nState = 0; nState <= 4; ++nState) {
        CDateVisualPane pane;
        pane.setData(entry(0, 650, {{0, 650}}));
        pane.setState(nState);

        sendEnter(pane);
        EXPECT_EQ(!pane.deleteButton()->isHidden(), nState == 0) << nState;
        EXPECT_TRUE(pane.restoreButton()->isHidden()) << nState;
        sendLeave(pane);
        EXPECT_TRUE(pane.deleteButton()->isHidden()) << nState;
    }

    CDateVisualPane pane;
    pane.onDeleteButtonPressed();
    sendLeave(pane);
    EXPECT_TRUE(pane.restoreButton()->isHidden());
    sendEnter(pane);
    EXPECT_FALSE(pane.restoreButton()->isHidden());
    EXPECT_TRUE(pane.deleteButton()->isHidden());
}

TEST(DateVisualPaneTest, StatesSetPlateProgressBarAndErrorLabel)
{
    struct SCase {
        int state;
        bool bPlateEnabled;
        bool bProgressShown;
        bool bErrorShown;
        QRgb border; // the plate's left edge, or the progress bar's track over it
    };
    const std::vector<SCase> cases = {
        {0, true, false, false, qRgb(55, 55, 55)}, {1, false, false, false, qRgb(100, 100, 100)},
        {2, true, true, false, qRgb(55, 55, 55)},  {3, true, false, false, qRgb(44, 200, 113)},
        {4, true, false, true, qRgb(221, 75, 75)},
    };
    for (const SCase& c : cases) {
        CDateVisualPane pane;
        pane.setData(entry(0, 650, {{100, 550}}));
        pane.onDeleteButtonPressed();

        pane.setState(c.state);

        EXPECT_EQ(pane.state(), c.state);
        EXPECT_TRUE(pane.isExportEnabled()) << c.state;
        EXPECT_EQ(pane.plate()->isEnabled(), c.bPlateEnabled) << c.state;
        EXPECT_EQ(!pane.plate()->progressBar()->isHidden(), c.bProgressShown) << c.state;
        EXPECT_EQ(!pane.errorLabel()->isHidden(), c.bErrorShown) << c.state;
        EXPECT_TRUE(pane.deleteButton()->isHidden()) << c.state;
        EXPECT_TRUE(pane.restoreButton()->isHidden()) << c.state;
        EXPECT_TRUE(lostText(pane).contains(c.bPlateEnabled ? QStringLiteral("DD4B4B") : QStringLiteral("5A2E2E")))
            << c.state;
        const QImage plate = pane.plate()->grab().toImage();
        EXPECT_EQ(plate.pixel(0, 62), c.border) << c.state;
        EXPECT_EQ(plate.pixel(1, 62), c.state == 0 || c.state == 2 ? qRgb(55, 55, 55) : c.border) << c.state;
    }
    // A ready day taken out keeps the ready look, greyed.
    CDateVisualPane pane;
    pane.onDeleteButtonPressed();
    EXPECT_EQ(pane.plate()->grab().toImage().pixel(1, 62), qRgb(100, 100, 100));
}

TEST(DateVisualPaneTest, ProgressGoesToThePlatesBar)
{
    CDateVisualPane pane;
    pane.setState(CDateVisualPane::stExporting);
    pane.setProgressValue(37);
    EXPECT_EQ(pane.plate()->progressBar()->value(), 37);
    EXPECT_FALSE(pane.plate()->progressBar()->isTextVisible());
}

TEST(SridVisualHeaderTest, ShowsItsTextInAFixedHeightRow)
{
    KcForms::CSridVisualHeader header(nullptr, QStringLiteral("SRID GARAGE"));
    EXPECT_EQ(header.text(), QStringLiteral("SRID GARAGE"));
    EXPECT_EQ(header.objectName(), QStringLiteral("CSridVisualHeader"));
    EXPECT_EQ(header.minimumHeight(), 70);
    EXPECT_EQ(header.maximumHeight(), 70);

    // Right of the text, one grey row on the page colour.
    header.resize(600, 70);
    const QImage image = header.grab().toImage();
    int nLineRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb pixel = image.pixel(500, y);
        EXPECT_TRUE(pixel == qRgb(33, 33, 33) || pixel == qRgb(77, 77, 77)) << y;
        nLineRows += pixel == qRgb(77, 77, 77);
    }
    EXPECT_EQ(nLineRows, 1);
}
