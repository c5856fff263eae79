// Renders the desktop program's pages and widgets offscreen into PNG files, one per view.

#include "forms/AnalyzeErrorsFrm.h"
#include "forms/AnalyzeFilesFrm.h"
#include "forms/DateVisualPane.h"
#include "forms/DateVisualPaneCenter.h"
#include "forms/Look.h"
#include "forms/SridVisualHeader.h"
#include "forms/StartFrm.h"
#include "forms/TimeZoneSelector.h"
#include "workers/ExportEntry.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QImage>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

// prepare runs once the widget is shown and laid out.
bool save(QWidget& widget, const QDir& outDir, const QString& qsName, const std::function<void()>& prepare = {})
{
    widget.show();
    QApplication::processEvents();
    if (prepare) {
        prepare();
        QApplication::processEvents();
    }
    const QString qsPath = outDir.filePath(qsName + QStringLiteral(".png"));
    if (!widget.grab().save(qsPath, "PNG")) {
        err() << "cannot write " << qsPath << "\n";
        return false;
    }
    return true;
}

double localSeconds(int hour, int minute, int second)
{
    return double(QDateTime(QDate(2026, 3, 15), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch());
}

KcWorkers::SExportEntry sampleEntry()
{
    KcWorkers::SExportEntry entry;
    entry.srid = L"GARAGE-EAST";
    entry.displayNumber = L"2";
    entry.fragment.windowStart = localSeconds(0, 0, 0);
    entry.fragment.windowEnd = localSeconds(23, 59, 59) + 1;
    entry.fragment.startTime = localSeconds(8, 12, 30);
    entry.fragment.endTime = localSeconds(17, 45, 10);
    entry.fragment.estimatedSize = 1048576000ull + 512ull * 1024 * 1024;
    const double parts[][2] = {
        {localSeconds(8, 12, 30), localSeconds(10, 0, 0)},
        {localSeconds(10, 40, 0), localSeconds(14, 5, 0)},
        {localSeconds(14, 6, 0), localSeconds(16, 30, 0)},
        {localSeconds(17, 0, 0), localSeconds(17, 45, 10)},
    };
    for (const auto& part : parts) {
        KELMNameSpace::SMediaPart media;
        media.startTime = part[0];
        media.endTime = part[1];
        entry.fragment.videoParts.push_back(media);
    }
    return entry;
}

// A date pane on a page-coloured background, as it sits in the videos-found form.
class CPaneOnPage : public QWidget {
public:
    CPaneOnPage()
    {
        setObjectName(QStringLiteral("paneOnPage"));
        setAttribute(Qt::WA_StyledBackground, true);
        KcForms::Look::applyStyle(this, KcForms::Look::Style::PageBackground);
        auto* pLayout = new QVBoxLayout(this);
        pLayout->setContentsMargins(11, 11, 11, 11);
        pane = new KcForms::CDateVisualPane(this);
        pLayout->addWidget(pane);
    }
    KcForms::CDateVisualPane* pane = nullptr;
};

// The compiled-in images side by side, eight times enlarged, on the status band colour.
bool saveImageSheet(const QDir& outDir)
{
    KcForms::Look::initResources();
    const QStringList images = {
        KcForms::Look::Image::KelmsIcon,        KcForms::Look::Image::CancelBtnNormal,
        KcForms::Look::Image::CancelBtnHovered, KcForms::Look::Image::StatusPaneCancelBtnNormal,
        KcForms::Look::Image::RefreshBtnNormal, KcForms::Look::Image::RefreshBtnHovered,
        KcForms::Look::Image::ExclamationIcon,  KcForms::Look::Image::ComboDownArrow,
    };
    constexpr int kScale = 8;
    constexpr int kCell = 32 * kScale + 16;
    QImage sheet(kCell * images.size(), kCell, QImage::Format_ARGB32);
    sheet.fill(KcForms::Look::Colour::StatusBand);
    QPainter painter(&sheet);
    for (int i = 0; i < images.size(); ++i) {
        const QImage image(images[i]);
        if (image.isNull()) {
            err() << "missing resource " << images[i] << "\n";
            return false;
        }
        painter.drawImage(QRect(i * kCell + 8, 8, image.width() * kScale, image.height() * kScale), image);
    }
    painter.end();
    return sheet.save(outDir.filePath(QStringLiteral("images.png")), "PNG");
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::AnyCountry));

    if (argc != 2) {
        err() << "usage: preview-forms <output folder>\n";
        return 2;
    }
    const QDir outDir(QString::fromLocal8Bit(argv[1]));
    if (!outDir.exists() && !QDir().mkpath(outDir.path())) {
        err() << "cannot create " << outDir.path() << "\n";
        return 1;
    }

    bool bOk = saveImageSheet(outDir);

    {
        KcForms::CStartFrm start;
        bOk &= save(start, outDir, QStringLiteral("start"));
        bOk &= save(start, outDir, QStringLiteral("start-found"), [&] { start.onDisplayKelmFilesCounter(1287); });
        bOk &= save(start, outDir, QStringLiteral("start-dropping"), [&] {
            QMimeData mimeData;
            mimeData.setUrls({QUrl::fromLocalFile(QDir::tempPath())});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&start, &enter);
        });
        start.resize(900, 400);
        bOk &= save(start, outDir, QStringLiteral("start-smallest"), [&] {
            QDragLeaveEvent leave;
            QApplication::sendEvent(&start, &leave);
        });
    }
    {
        KcForms::CAnalyzeFilesFrm analyze;
        analyze.onUpdateProgressMessage(QStringLiteral("Analyzing .kelm files. 480 of 1287 done"));
        analyze.onUpdateProgressBar(37);
        bOk &= save(analyze, outDir, QStringLiteral("analyze"));
    }
    {
        KcForms::CAnalyzeErrorsFrm errors;
        errors.setNextForm(KcForms::ufStartFrm);
        errors.setErrorTitle(QStringLiteral("Analyzing was cancelled"));
        errors.setErrorDetails(QStringLiteral(".kelm files analyzing was cancelled. No intervals loaded."));
        bOk &= save(errors, outDir, QStringLiteral("errors-text"));

        errors.setNextForm(KcForms::ufVideosFoundFrm);
        errors.setErrorTitle(QStringLiteral("These files will not be converted"));
        QStringList names;
        for (int i = 1; i <= 40; ++i)
            names << QStringLiteral("GARAGE-EAST_2026-03-%1_cam<%2>.kelm")
                         .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                         .arg(i);
        errors.setBlackList(names);
        bOk &= save(errors, outDir, QStringLiteral("errors-blacklist"));
    }
    {
        KcForms::CTimeZoneSelector selector;
        selector.selectZone(QTimeZone("Europe/Moscow"));
        bOk &= save(selector, outDir, QStringLiteral("timezone"));
        selector.comboBox()->showPopup();
        QApplication::processEvents();
        QWidget* pPopup = selector.comboBox()->view()->window();
        bOk &= pPopup->grab().save(outDir.filePath(QStringLiteral("timezone-popup.png")), "PNG");
        selector.comboBox()->hidePopup();
    }
    {
        KcForms::CSridVisualHeader header(nullptr, QStringLiteral("SRID GARAGE-EAST"));
        header.resize(812, 70);
        bOk &= save(header, outDir, QStringLiteral("header"));
    }
    for (int nState = 0; nState <= 4; ++nState) {
        CPaneOnPage page;
        page.pane->setNumber(nState + 1);
        page.pane->setData(sampleEntry());
        page.pane->setState(nState);
        if (nState == KcForms::CDateVisualPane::stExporting)
            page.pane->setProgressValue(62);
        bOk &= save(page, outDir, QStringLiteral("pane-state%1").arg(nState));
    }
    {
        CPaneOnPage page;
        page.pane->setNumber(1);
        page.pane->setData(sampleEntry());
        bOk &= save(page, outDir, QStringLiteral("pane-hover"), [&] {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(page.pane, &enter);
        });
        bOk &= save(page, outDir, QStringLiteral("pane-deleted"), [&] { page.pane->onDeleteButtonPressed(); });
    }

    return bOk ? 0 : 1;
}
