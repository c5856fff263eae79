// How long the videos-found page takes to build its date panes and to build them again (what a
// time zone change does after the days are cut anew), offscreen, until the page has laid out and
// painted. The peer, measured in the same run: as many plain widgets holding as many labels,
// created, laid out and painted the same way.
//
// "first build" is a page built once, as when the analysis has just finished; "build" and "rebuild"
// are the page built again, at the top and half way down the list. --grab saves the top of the
// list, with a pane of each state, to compare the look of two builds; --grab-page the whole page
// so (its free space text may differ from run to run).
//
//   QT_QPA_PLATFORM=offscreen bench-panes [--panes N] [--cameras 1|2] [--runs R]
//                                         [--grab FILE.png | --grab-page FILE.png]

#include "forms/DateVisualPane.h"
#include "forms/VideosFoundFrm.h"
#include "workers/ExportEntry.h"
#include "workers/WorkManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Two cameras recording the same days (each day then gets a header per camera), or one camera, a
// few gaps a day. The entries are taken out of the
// export, so that the page needs no loaded content to show them.
KcWorkers::ExportedSrids makeEntries(int nPanes, bool bOneCamera)
{
    KcWorkers::ExportedSrids entries;
    for (int i = 0; i < nPanes; ++i) {
        KcWorkers::SExportEntry entry;
        entry.srid = (i % 2 == 0 || bOneCamera) ? L"1001" : L"1002";
        entry.displayNumber = L"1";
        entry.bEnabled = false;
        const double dayStart = 86400.0 * (20000 + i / 2);
        entry.fragment.windowStart = dayStart;
        entry.fragment.startTime = dayStart + 3600;
        entry.fragment.endTime = dayStart + 80000;
        entry.fragment.estimatedSize = 700000000ull + quint64(i) * 1000;
        for (int part = 0; part < 6; ++part) {
            KELMNameSpace::SMediaPart media;
            media.startTime = dayStart + 3600 + part * 13000;
            media.endTime = media.startTime + 11000 + (i % 7) * 100;
            entry.fragment.videoParts.push_back(media);
        }
        entries[KcWorkers::makeExportKey(entry)] = entry;
    }
    return entries;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The peer: plain widgets with the same number of labels, in a grid of the same shape.
double peerRun(QScrollArea& area, int nPanes)
{
    QElapsedTimer timer;
    timer.start();
    auto* pContents = new QWidget;
    auto* pGrid = new QGridLayout(pContents);
    for (int i = 0; i < nPanes; ++i) {
        auto* pPane = new QWidget(pContents);
        pPane->setFixedSize(800, 134);
        for (int label = 0; label < 11; ++label)
            (new QLabel(QStringLiteral("label %1").arg(label), pPane))->setGeometry(20, 10 * label, 300, 12);
        pGrid->addWidget(pPane, i, 1);
    }
    delete area.takeWidget();
    area.setWidget(pContents);
    settle();
    area.viewport()->repaint();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int nPanes = 500;
    int nRuns = 5;
    bool bOneCamera = false;
    QString qsGrab;
    bool bGrabPage = false;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--panes"))
            nPanes = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--cameras"))
            bOneCamera = args[i + 1].toInt() == 1;
        else if (args[i] == QLatin1String("--runs"))
            nRuns = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--grab") || args[i] == QLatin1String("--grab-page")) {
            qsGrab = args[i + 1];
            bGrabPage = args[i] == QLatin1String("--grab-page");
        }
    }

    KcWorkers::CWorkManager manager(QDir::tempPath());
    KcWorkers::ExportedSrids& entries = manager.exportedSrids();
    entries = makeEntries(nPanes, bOneCamera);

    std::vector<double> firstBuilds;
    for (int run = 0; run < nRuns + 1; ++run) {
        KcForms::CVideosFoundFrm fresh(manager);
        fresh.resize(1024, 700);
        fresh.show();
        settle();
        QElapsedTimer timer;
        timer.start();
        fresh.initVisualArea();
        const double fill = timer.nsecsElapsed() / 1e9;
        settle();
        const double laid = timer.nsecsElapsed() / 1e9;
        fresh.findChild<QScrollArea*>(QStringLiteral("datePanesScrollArea"))->viewport()->repaint();
        if (qEnvironmentVariableIsSet("KC_BENCH_DETAIL"))
            out() << QStringLiteral("  first: filled %1 s, laid out %2 s, painted %3 s\n")
                         .arg(fill)
                         .arg(laid)
                         .arg(timer.nsecsElapsed() / 1e9);
        if (run > 0)
            firstBuilds.push_back(timer.nsecsElapsed() / 1e9);
    }

    KcForms::CVideosFoundFrm form(manager);
    form.resize(1024, 700);
    form.show();
    settle();

    if (!qsGrab.isEmpty()) {
        form.initVisualArea();
        settle();
        const QList<KcForms::CDateVisualPane*> panes = form.findChildren<KcForms::CDateVisualPane*>();
        if (panes.size() >= 6) {
            panes[0]->onRestoreButtonPressed();
            panes[0]->setHovered(true);
            panes[1]->setState(KcForms::CDateVisualPane::stExported);
            panes[2]->setState(KcForms::CDateVisualPane::stFailed);
            panes[3]->setState(KcForms::CDateVisualPane::stNotExported);
            panes[4]->setState(KcForms::CDateVisualPane::stExporting);
            panes[4]->setProgressValue(40);
            panes[5]->setHovered(true);
        }
        settle();
        // The list alone: the free space in the status band changes from run to run.
        QWidget* pList = form.findChild<QWidget*>(QStringLiteral("wgtDatePanesContents"));
        const bool bSaved =
            (bGrabPage ? form.grab() : pList->grab(QRect(0, 0, pList->width(), std::min(pList->height(), 1600))))
                .save(qsGrab);
        out() << (bSaved ? "saved " : "could not save ") << qsGrab << "\n";
        return bSaved ? 0 : 1;
    }

    if (qEnvironmentVariableIsSet("KC_BENCH_DETAIL")) {
        QWidget parent;
        QElapsedTimer t;
        t.start();
        std::vector<KcForms::CDateVisualPane*> panes;
        for (int i = 0; i < nPanes; ++i)
            panes.push_back(new KcForms::CDateVisualPane(&parent));
        const double made = t.nsecsElapsed() / 1e9;
        auto it = entries.begin();
        for (auto* p : panes)
            p->setData((it++)->second);
        const double filled = t.nsecsElapsed() / 1e9;
        parent.show();
        settle();
        out() << QStringLiteral("  panes alone: made %1 s, data %2 s, shown %3 s\n")
                     .arg(made)
                     .arg(filled)
                     .arg(t.nsecsElapsed() / 1e9);
    }
    auto* pArea = form.findChild<QScrollArea*>(QStringLiteral("datePanesScrollArea"));
    std::vector<double> builds, rebuilds, peers;
    for (int run = 0; run < nRuns + 1; ++run) { // the first run warms up
        QElapsedTimer timer;
        timer.start();
        form.initVisualArea();
        const double fill = timer.nsecsElapsed() / 1e9;
        settle();
        const double laid = timer.nsecsElapsed() / 1e9;
        pArea->viewport()->repaint();
        const double build = timer.nsecsElapsed() / 1e9;
        if (qEnvironmentVariableIsSet("KC_BENCH_DETAIL"))
            out() << QStringLiteral("  filled %1 s, laid out %2 s, painted %3 s\n").arg(fill).arg(laid).arg(build);

        // Rebuilt half way down the list, as after a time zone change.
        pArea->verticalScrollBar()->setValue(pArea->verticalScrollBar()->maximum() / 2);
        settle();
        timer.restart();
        form.initVisualArea();
        settle();
        pArea->viewport()->repaint();
        const double rebuild = timer.nsecsElapsed() / 1e9;

        QScrollArea peerArea;
        peerArea.resize(1024, 500);
        peerArea.show();
        const double peer = peerRun(peerArea, nPanes);
        if (run > 0) {
            builds.push_back(build);
            rebuilds.push_back(rebuild);
            peers.push_back(peer);
        }
    }

    const double peer = median(peers);
    out() << nPanes << " panes, median of " << nRuns << " runs\n";
    out() << QStringLiteral("first build: %1 s (%2 x the plain widgets)\n")
                 .arg(median(firstBuilds), 0, 'f', 3)
                 .arg(median(firstBuilds) / peer, 0, 'f', 1);
    out() << QStringLiteral("build:   %1 s (%2 x the plain widgets)\n")
                 .arg(median(builds), 0, 'f', 3)
                 .arg(median(builds) / peer, 0, 'f', 1);
    out() << QStringLiteral("rebuild: %1 s (%2 x the plain widgets)\n")
                 .arg(median(rebuilds), 0, 'f', 3)
                 .arg(median(rebuilds) / peer, 0, 'f', 1);
    out() << QStringLiteral("plain widgets: %1 s\n").arg(peer, 0, 'f', 3);
    return 0;
}
