#pragma once

#include "cli/JobOptions.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTextStream>

namespace KcWorkers {
class CWorkManager;
}

namespace KcCli {

// One day of the export as the progress names it.
struct SPlannedDay {
    ulong ulBatchId = 0;
    int nIndex = 0;     // 1, 2, ... in export order
    QString qsKey;      // the export key
    QString qsLabel;    // "1001 camera 1, 2026-03-02"
    QString qsFileName; // the MP4 file's name
    QString qsPath;     // and its full path
};

// "[#######.............]  35%"
QString ProgressBarText(int nPercent, int nWidth);
// "1:02:03", "4:05", or "--:--" when there is no estimate (negative seconds).
QString RemainingTimeText(double fSeconds);

// Shows the work manager's progress on the error stream. On a terminal one line is redrawn in
// place: the status message and percentage while searching and analyzing, then a bar with the
// percentage, the current day and the remaining time while exporting. Elsewhere (a file, a pipe)
// only one line per finished day is written, so that logs stay readable. Verbose adds those lines
// on a terminal too; quiet shows no progress at all. The redrawn line is cut to the terminal's
// width, so that it never wraps into lines that the next redraw cannot reach.
class CProgressPrinter : public QObject {
    Q_OBJECT

public:
    CProgressPrinter(KcWorkers::CWorkManager& manager, QTextStream& err, bool bTerminal,
                     EProgressMode mode = EProgressMode::Normal, QObject* pParent = nullptr);
    ~CProgressPrinter() override;

    void setDays(const QMap<ulong, SPlannedDay>& days);
    const QMap<ulong, SPlannedDay>& days() const { return m_days; }
    // A line of its own (a warning, an error) that does not mix with the redrawn one.
    void printLine(const QString& qsLine);
    // Removes the redrawn line, if any.
    void clearLine();

    // The line as it would be drawn on a terminal nColumns wide (0: no limit).
    static QString fitToWidth(const QString& qsLine, int nColumns);

public slots:
    // Takes the terminal's width anew and draws the line again (after SIGWINCH).
    void redraw();

private slots:
    void onProgressMessage(QString qsMessage);
    void onProgressBar(int nValue);
    void onExportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent, ulong ulFragmentsTotal,
                             double fEstimatedTime);
    void onFragmentStarted(ulong ulFragmentID);
    void onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void onFragmentOutcome(ulong ulFragmentID, int nOutcome, QString qsReason);
    void onFileError(ulong ulContext, QString qsFileName, QString qsError, int nCode);

private:
    void drawStatus();
    void drawExport();
    void draw(const QString& qsLine);
    QString dayText(ulong ulBatchId) const;

    int barWidth() const;

    QTextStream& m_err;
    bool m_bTerminal;
    EProgressMode m_mode;
    int m_nColumns = 0; // 0 while unknown
    bool m_bLineShown = false;
    QString m_qsShown;
    QString m_qsMessage;
    int m_nPercent = -1;
    bool m_bExporting = false;
    ulong m_ulBatch = 0;
    double m_fEstimate = -1;
    QMap<ulong, SPlannedDay> m_days;
};

} // namespace KcCli
