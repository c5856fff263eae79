#include "forms/AnalyzeErrorsFrm.h"
#include "forms/AnalyzeFilesFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>

#include "FormsTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using KcForms::CAnalyzeErrorsFrm;
using KcForms::CAnalyzeFilesFrm;
using KcForms::KcUserDlgForm;

namespace {

QString statusLine(CAnalyzeFilesFrm& form)
{
    return form.findChild<QLabel*>(QStringLiteral("lbCurrentActionMsg"))->text();
}

QStringList paragraphs(const QTextEdit* pEdit)
{
    QStringList lines;
    for (QTextBlock block = pEdit->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

} // namespace

TEST(AnalyzeFilesFrmTest, StatusLineFollowsTheWorkManager)
{
    CAnalyzeFilesFrm form;
    EXPECT_EQ(form.objectName(), QStringLiteral("kelmCnvrAnalyzeFrm"));

    form.onPrepareAnalyzing();
    EXPECT_EQ(statusLine(form), QStringLiteral("Starting .kelm files analyzer..."));
    form.onAnalyzingStarted();
    EXPECT_EQ(statusLine(form), QStringLiteral("Analyzing .kelm files..."));
    form.onUpdateProgressMessage(QStringLiteral("Analyzing .kelm files. 3 of 9 done"));
    EXPECT_EQ(statusLine(form), QStringLiteral("Analyzing .kelm files. 3 of 9 done"));
}

TEST(AnalyzeFilesFrmTest, ProgressBarShowsTheValueWithoutText)
{
    CAnalyzeFilesFrm form;
    auto* pBar = form.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    EXPECT_EQ(pBar->value(), 0);
    EXPECT_FALSE(pBar->isTextVisible());
    EXPECT_EQ(pBar->size(), QSize(500, 8));

    form.onUpdateProgressBar(42);
    EXPECT_EQ(pBar->value(), 42);
}

TEST(AnalyzeFilesFrmTest, RoundButtonAsksToCancel)
{
    CAnalyzeFilesFrm form;
    QSignalSpy cancel(&form, &CAnalyzeFilesFrm::cancelProcessing);
    auto* pButton = form.findChild<QToolButton*>(QStringLiteral("tbCancel"));
    EXPECT_FALSE(pButton->icon().isNull());

    pButton->click();
    EXPECT_EQ(cancel.count(), 1);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(cancel.count(), 2);
    EXPECT_FALSE(pButton->toolTip().isEmpty());
    EXPECT_EQ(pButton->focusPolicy(), Qt::NoFocus);
}

TEST(AnalyzeErrorsFrmTest, NextFormDecidesTheButtonsAndWhereContinueLeads)
{
    struct SCase {
        KcUserDlgForm next;
        bool bCancelShown;
        QString continueText;
        int expectedSignal; // 0 start, 1 videos found, 2 videos converted
    };
    const std::vector<SCase> cases = {
        {KcForms::ufStartFrm, false, QStringLiteral("RESTART"), 0},
        {KcForms::ufVideosFoundFrm, true, QStringLiteral("CONTINUE"), 1},
        {KcForms::ufVideosConvertedFrm, true, QStringLiteral("CONTINUE"), 2},
        {KcForms::ufAnalyzeFilesFrm, true, QStringLiteral("CONTINUE"), 0},
    };

    CAnalyzeErrorsFrm form;
    auto* pCancel = form.findChild<QPushButton*>(QStringLiteral("pbCancel"));
    auto* pContinue = form.findChild<QPushButton*>(QStringLiteral("pbContinue"));
    for (const SCase& c : cases) {
        QSignalSpy start(&form, &CAnalyzeErrorsFrm::activateStartFrm);
        QSignalSpy found(&form, &CAnalyzeErrorsFrm::activateVideosFoundFrm);
        QSignalSpy converted(&form, &CAnalyzeErrorsFrm::activateVideosConvertedFrm);

        form.setNextForm(c.next);
        EXPECT_EQ(!pCancel->isHidden(), c.bCancelShown) << c.next;
        EXPECT_EQ(pContinue->text(), c.continueText) << c.next;

        pContinue->click();
        EXPECT_EQ(start.count(), c.expectedSignal == 0 ? 1 : 0) << c.next;
        EXPECT_EQ(found.count(), c.expectedSignal == 1 ? 1 : 0) << c.next;
        EXPECT_EQ(converted.count(), c.expectedSignal == 2 ? 1 : 0) << c.next;

        if (c.bCancelShown) {
            pCancel->click();
            EXPECT_EQ(start.count(), c.expectedSignal == 0 ? 2 : 1) << c.next;
        }

        // The keys: Enter for CONTINUE (or RESTART), Escape for CANCEL where it is shown.
        const int nStarts = start.count();
        QTest::keyClick(&form, Qt::Key_Return);
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(found.count() + converted.count(), c.expectedSignal == 0 ? 0 : 2) << c.next;
        EXPECT_EQ(start.count() - nStarts, (c.expectedSignal == 0 ? 1 : 0) + (c.bCancelShown ? 1 : 0)) << c.next;
    }
}

TEST(AnalyzeErrorsFrmTest, TitleAndPlainDetails)
{
    CAnalyzeErrorsFrm form;
    form.setErrorTitle(QStringLiteral("Analyzing failed."));
    form.setErrorDetails(QStringLiteral("A breaking error occured: <b>disk</b>. Please, contact support."));

    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(), QStringLiteral("Analyzing failed."));
    // Plain text: the markup stays visible as typed.
    EXPECT_EQ(form.findChild<QTextEdit*>(QStringLiteral("pteMsgTextDetails"))->toPlainText(),
              QStringLiteral("A breaking error occured: <b>disk</b>. Please, contact support."));
}

TEST(AnalyzeErrorsFrmTest, BlackListShowsOneCentredLinePerFileNameAsWritten)
{
    CAnalyzeErrorsFrm form;
    auto* pDetails = form.findChild<QTextEdit*>(QStringLiteral("pteMsgTextDetails"));
    const QStringList names = {QStringLiteral("cam1_0001.kelm"), QStringLiteral("Tom & Jerry <1>.kelm"),
                               QStringLiteral("пустой.kelm")};

    form.setBlackList(names);

    EXPECT_EQ(paragraphs(pDetails), names);
    for (QTextBlock block = pDetails->document()->begin(); block.isValid(); block = block.next())
        EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << block.text();
}

TEST(AnalyzeErrorsFrmTest, DetailsAreaWidthFollowsWhatItShows)
{
    CAnalyzeErrorsFrm form;
    auto* pLayout = form.findChild<QHBoxLayout*>(QStringLiteral("errorTextLayout"));
    ASSERT_NE(pLayout, nullptr);

    form.setBlackList({QStringLiteral("a.kelm")});
    EXPECT_EQ(pLayout->stretch(1), 10);
    // A plain error text after a black list no longer takes the whole width.
    form.setErrorDetails(QStringLiteral("Export was cancelled"));
    EXPECT_EQ(pLayout->stretch(1), 0);
}

TEST(AnalyzeErrorsFrmTest, EmptyBlackListLeavesTheDetailsAsTheyWere)
{
    CAnalyzeErrorsFrm form;
    auto* pDetails = form.findChild<QTextEdit*>(QStringLiteral("pteMsgTextDetails"));
    auto* pLayout = form.findChild<QHBoxLayout*>(QStringLiteral("errorTextLayout"));
    form.setErrorDetails(QStringLiteral("earlier text"));

    form.setBlackList({});

    EXPECT_EQ(pDetails->toPlainText(), QStringLiteral("earlier text"));
    EXPECT_EQ(pLayout->stretch(1), 0);
}
