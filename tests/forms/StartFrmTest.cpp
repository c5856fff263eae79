#include "forms/StartFrm.h"
#include "forms/FolderDialog.h"
#include "forms/Look.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "FormsTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using KcForms::CStartFrm;
namespace Look = KcForms::Look;

namespace {

// Records the form's signals in the order they come, with the paths of filesAndFoldersReady.
struct SSignalLog {
    explicit SSignalLog(CStartFrm& form)
    {
        QObject::connect(&form, &CStartFrm::filesAndFoldersReady, [this](const QStringList& slPaths) {
            names << QStringLiteral("filesAndFoldersReady");
            paths = slPaths;
        });
        QObject::connect(&form, &CStartFrm::activateKcAnalyzeFilesFrm,
                         [this] { names << QStringLiteral("activateKcAnalyzeFilesFrm"); });
        QObject::connect(&form, &CStartFrm::startKelmFilesSearching,
                         [this] { names << QStringLiteral("startKelmFilesSearching"); });
        QObject::connect(&form, &CStartFrm::startKelmFilesAnalyzing,
                         [this] { names << QStringLiteral("startKelmFilesAnalyzing"); });
        QObject::connect(&form, &CStartFrm::clearKelmFilesFound,
                         [this] { names << QStringLiteral("clearKelmFilesFound"); });
    }
    QStringList names;
    QStringList paths;
};

const QStringList kSearchSignals = {"activateKcAnalyzeFilesFrm", "filesAndFoldersReady", "startKelmFilesSearching"};

std::unique_ptr<QMimeData> urlData(const QList<QUrl>& urls)
{
    auto pData = std::make_unique<QMimeData>();
    pData->setUrls(urls);
    return pData;
}

std::unique_ptr<QMimeData> textData(const QString& qsText)
{
    auto pData = std::make_unique<QMimeData>();
    pData->setText(qsText);
    return pData;
}

bool sendDragEnter(CStartFrm& form, const QMimeData* pData)
{
    QDragEnterEvent event(QPoint(20, 20), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &event);
    return event.isAccepted();
}

void sendDragLeave(CStartFrm& form)
{
    QDragLeaveEvent event;
    QApplication::sendEvent(&form, &event);
}

void sendDrop(CStartFrm& form, const QMimeData* pData)
{
    QDropEvent event(QPointF(20, 20), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &event);
}

QWidget* statusPane(CStartFrm& form)
{
    return form.findChild<QWidget*>(QStringLiteral("frmStatusPane"));
}

bool showsStartBackground(CStartFrm& form)
{
    return form.styleSheet() == Look::styleSheet(Look::Style::StartBackground, form.objectName());
}

bool showsDroppingBackground(CStartFrm& form)
{
    return form.styleSheet() == Look::styleSheet(Look::Style::DroppingBackground, form.objectName());
}

} // namespace

TEST(StartFrmTest, BuiltWithTheNamesSizesAndTextsOfThePage)
{
    CStartFrm form;
    EXPECT_EQ(form.objectName(), QStringLiteral("kelmCnvrStartFrm"));
    EXPECT_EQ(form.size(), QSize(1001, 609));
    EXPECT_EQ(form.minimumSize(), QSize(900, 400));
    EXPECT_TRUE(form.acceptDrops());
    EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("pbBrowse"))->text(), QStringLiteral("BROWSE FOR FOLDER"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("lbKelmsCounter"))->text(), QStringLiteral("0"));
    EXPECT_FALSE(form.findChild<QLabel*>(QStringLiteral("lbKelmsIconHolder"))->pixmap(Qt::ReturnByValue).isNull());
    for (const char* pName : {"pbBrowse", "pbCancel", "pbContinue"}) {
        const QFont font = form.findChild<QPushButton*>(QString::fromLatin1(pName))->font();
        EXPECT_EQ(font.letterSpacingType(), QFont::AbsoluteSpacing) << pName;
        EXPECT_NEAR(font.letterSpacing(), 1.33, 1.0 / 64) << pName; // kept in 1/64 pixel
    }
    EXPECT_TRUE(showsStartBackground(form));
}

TEST(StartFrmTest, CounterEnablesCancelAndContinueOnlyWhenFilesWereFound)
{
    CStartFrm form;
    auto* pCancel = form.findChild<QPushButton*>(QStringLiteral("pbCancel"));
    auto* pContinue = form.findChild<QPushButton*>(QStringLiteral("pbContinue"));
    auto* pCounter = form.findChild<QLabel*>(QStringLiteral("lbKelmsCounter"));
    EXPECT_FALSE(pCancel->isEnabled());
    EXPECT_FALSE(pContinue->isEnabled());

    const std::vector<std::pair<ulong, bool>> counts = {{0, false}, {1, true}, {4000000000ul, true}, {0, false}};
    for (const auto& [count, bEnabled] : counts) {
        form.onDisplayKelmFilesCounter(count);
        EXPECT_EQ(pCounter->text(), QString::number(count));
        EXPECT_EQ(form.filesCounter(), count);
        EXPECT_EQ(pCancel->isEnabled(), bEnabled) << count;
        EXPECT_EQ(pContinue->isEnabled(), bEnabled) << count;
    }
}

TEST(StartFrmTest, DisabledContinueIsDrawnInDimBlue)
{
    CStartFrm form;
    form.show();
    auto* pContinue = form.findChild<QPushButton*>(QStringLiteral("pbContinue"));
    // The middle of the straight top edge of the outline.
    const auto outline = [pContinue] { return QColor(pContinue->grab().toImage().pixel(pContinue->width() / 2, 0)); };

    EXPECT_EQ(outline(), QColor(56, 76, 100));
    form.onDisplayKelmFilesCounter(1);
    EXPECT_EQ(outline(), QColor(75, 141, 221));
}

TEST(StartFrmTest, CancelOnlyAsksToClearTheFoundFiles)
{
    CStartFrm form;
    SSignalLog log(form);
    form.onDisplayKelmFilesCounter(7);

    form.findChild<QPushButton*>(QStringLiteral("pbCancel"))->click();

    EXPECT_EQ(log.names, QStringList{"clearKelmFilesFound"});
    // The new count comes back from the work manager, not from the button.
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("lbKelmsCounter"))->text(), QStringLiteral("7"));
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("pbContinue"))->isEnabled());
}

TEST(StartFrmTest, ContinueShowsTheProgressPageThenStartsTheAnalysis)
{
    CStartFrm form;
    SSignalLog log(form);
    form.onDisplayKelmFilesCounter(3);

    form.findChild<QPushButton*>(QStringLiteral("pbContinue"))->click();

    EXPECT_EQ(log.names, (QStringList{"activateKcAnalyzeFilesFrm", "startKelmFilesAnalyzing"}));
}

TEST(StartFrmTest, DragEnterAcceptsOnlyUriListsWhoseFirstUrlIsLocal)
{
    struct SCase {
        const char* name;
        std::unique_ptr<QMimeData> data;
        bool bAccepted;
    };
    std::vector<SCase> cases;
    cases.push_back({"local folder", urlData({QUrl::fromLocalFile(QDir::tempPath())}), true});
    cases.push_back({"local first, web second",
                     urlData({QUrl::fromLocalFile(QDir::tempPath()), QUrl(QStringLiteral("https://example.com/a"))}),
                     true});
    cases.push_back(
        {"web first", urlData({QUrl(QStringLiteral("https://example.com/a")), QUrl::fromLocalFile("/tmp")}), false});
    cases.push_back({"plain text", textData(QStringLiteral("/tmp")), false});
    cases.push_back({"empty uri list", urlData({}), false});

    for (const SCase& c : cases) {
        CStartFrm form;
        EXPECT_EQ(sendDragEnter(form, c.data.get()), c.bAccepted) << c.name;
        EXPECT_EQ(statusPane(form)->isHidden(), c.bAccepted) << c.name;
        EXPECT_EQ(showsDroppingBackground(form), c.bAccepted) << c.name;
        EXPECT_EQ(showsStartBackground(form), !c.bAccepted) << c.name;
    }
}

TEST(StartFrmTest, DragLeaveRestoresThePageExactlyAsBefore)
{
    CStartFrm form;
    const QString qsSheetBefore = form.styleSheet();
    const auto pData = urlData({QUrl::fromLocalFile(QDir::tempPath())});

    ASSERT_TRUE(sendDragEnter(form, pData.get()));
    sendDragLeave(form);

    EXPECT_FALSE(statusPane(form)->isHidden());
    EXPECT_EQ(form.styleSheet(), qsSheetBefore);
}

TEST(StartFrmTest, DropHandsEveryUrlOnInOrderAfterShowingTheProgressPage)
{
    CStartFrm form;
    SSignalLog log(form);
    const QString qsFolder = QDir::tempPath();
    const auto pData = urlData({QUrl::fromLocalFile(qsFolder), QUrl(QStringLiteral("https://example.com/a.kelm")),
                                QUrl::fromLocalFile(QStringLiteral("/data/x.kelm"))});

    ASSERT_TRUE(sendDragEnter(form, pData.get()));
    sendDrop(form, pData.get());

    EXPECT_EQ(log.names, kSearchSignals);
    // Items after the first are not checked: a web address becomes an empty path.
    EXPECT_EQ(log.paths, (QStringList{qsFolder, QString(), QStringLiteral("/data/x.kelm")}));
    EXPECT_FALSE(statusPane(form)->isHidden());
    EXPECT_TRUE(showsStartBackground(form));
}

TEST(StartFrmTest, DropOfAnythingButALocalUrlListDoesNothing)
{
    CStartFrm form;
    SSignalLog log(form);
    const auto pText = textData(QStringLiteral("/tmp"));
    const auto pWeb = urlData({QUrl(QStringLiteral("https://example.com/a.kelm"))});

    sendDrop(form, pText.get());
    sendDrop(form, pWeb.get());

    EXPECT_TRUE(log.names.isEmpty());
    EXPECT_TRUE(showsStartBackground(form));
}

namespace {

// Answers the modal folder dialog that pbBrowse opens, once it is up.
void answerFolderDialog(CStartFrm& form, const QString& qsFolder, bool& bDropsWhileOpen, QFileDialog::FileMode& mode,
                        QString* pOpenedIn = nullptr)
{
    QTimer::singleShot(0, [&form, qsFolder, &bDropsWhileOpen, &mode, pOpenedIn] {
        auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        bDropsWhileOpen = form.acceptDrops();
        mode = pDialog->fileMode();
        if (pOpenedIn)
            *pOpenedIn = pDialog->directory().absolutePath();
        if (qsFolder.isEmpty()) {
            pDialog->reject();
            return;
        }
        pDialog->setDirectory(qsFolder);
        static_cast<QDialog*>(pDialog)->accept();
    });
}

} // namespace

TEST(StartFrmTest, BrowseOffersFoldersOnlyAndHandsTheChosenFolderOn)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    CStartFrm form;
    SSignalLog log(form);
    bool bDropsWhileOpen = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QString qsOpenedIn;

    // The first dialog of a run opens in the home folder, the next in the folder chosen last.
    KcForms::FolderDialog::setLastFolder(QString());
    answerFolderDialog(form, folder.path(), bDropsWhileOpen, mode, &qsOpenedIn);
    form.findChild<QPushButton*>(QStringLiteral("pbBrowse"))->click();

    EXPECT_EQ(qsOpenedIn, QDir::homePath());
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_FALSE(bDropsWhileOpen);
    EXPECT_TRUE(form.acceptDrops());
    EXPECT_EQ(log.names, kSearchSignals);
    EXPECT_EQ(log.paths, QStringList{folder.path()});

    answerFolderDialog(form, QString(), bDropsWhileOpen, mode, &qsOpenedIn);
    form.findChild<QPushButton*>(QStringLiteral("pbBrowse"))->click();
    EXPECT_EQ(qsOpenedIn, QDir(folder.path()).absolutePath());
}

TEST(StartFrmTest, CancelledBrowseChangesNothing)
{
    CStartFrm form;
    SSignalLog log(form);
    bool bDropsWhileOpen = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;

    answerFolderDialog(form, QString(), bDropsWhileOpen, mode);
    form.findChild<QPushButton*>(QStringLiteral("pbBrowse"))->click();

    EXPECT_FALSE(bDropsWhileOpen);
    EXPECT_TRUE(form.acceptDrops());
    EXPECT_TRUE(log.names.isEmpty());
}

TEST(StartFrmTest, KeysWorkTheButtonsThatAreOffered)
{
    CStartFrm form;
    SSignalLog log(form);
    for (QPushButton* pButton : form.findChildren<QPushButton*>())
        EXPECT_EQ(pButton->focusPolicy(), Qt::NoFocus) << pButton->objectName().toStdString();

    // Nothing found yet: CONTINUE and CANCEL are not offered.
    QTest::keyClick(&form, Qt::Key_Return);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(log.names.isEmpty());

    form.onDisplayKelmFilesCounter(3);
    QTest::keyClick(&form, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(log.names, (QStringList{"activateKcAnalyzeFilesFrm", "startKelmFilesAnalyzing", "clearKelmFilesFound"}));

    bool bDropsWhileOpen = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    answerFolderDialog(form, QString(), bDropsWhileOpen, mode);
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(mode, QFileDialog::Directory);
}
