#include "forms/Look.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

// Registering the compiled-in images names their data symbol, which keeps a static link from
// dropping it. The macro declares a function, so it must stand outside any namespace.
static void registerFormImages()
{
    Q_INIT_RESOURCE(images);
}

namespace KcForms::Look {

namespace {

const QString kFamily = QStringLiteral("Arial");

QString rgb(const QColor& colour)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

// The outlined blue buttons. Hover wins over focus; a disabled button keeps its fill and dims
// text and border.
QString primaryButton(int radius, const QColor& fill, bool bSolid)
{
    // The solid variant (videos-found form) repeats each fill as a plain background.
    const auto fillOf = [bSolid](const QString& qsColour) {
        return bSolid ? QStringLiteral("background-color: %1; background: %1;").arg(qsColour)
                      : QStringLiteral("background-color: %1;").arg(qsColour);
    };
    const QString normalFill = fillOf(rgb(fill));
    const QString focusFill = fillOf(QStringLiteral("rgba(74,141,221,51)")); // 20 %
    const QString hoverFill = fillOf(rgb(Colour::AccentHovered));
    return QStringLiteral("QPushButton { text-align: center; %1 color: %2; border: 1px solid %2;"
                          " border-radius: %3px; }\n"
                          "QPushButton:focus { %4 }\n"
                          "QPushButton:hover, QPushButton:hover:focus { %5 color: white; border-color: %6; }\n"
                          "QPushButton:disabled { %1 color: %7; border-color: %7; }\n")
        .arg(normalFill, rgb(Colour::Accent), QString::number(radius), focusFill, hoverFill, rgb(Colour::AccentHovered),
             rgb(Colour::DisabledAccent));
}

QString thinProgressBar(const QColor& surrounding, const QColor& track)
{
    return QStringLiteral("QProgressBar { border: 1px solid %1; border-radius: 4px; background-color: %2;"
                          " height: 6px; max-height: 6px; min-height: 6px; }\n"
                          "QProgressBar::chunk { background-color: %3; border-radius: 3px; }\n")
        .arg(rgb(surrounding), rgb(track), rgb(Colour::Accent));
}

// The 9-pixel vertical scroll bar without arrows.
QString scrollBar(bool bMinimumHandle)
{
    const QString minimum = bMinimumHandle ? QStringLiteral(" min-height: 20px;") : QString();
    return QStringLiteral(
               "QScrollBar:vertical { width: 9px; background: %1; margin: 0px; border: none; }\n"
               "QScrollBar::handle:vertical { background: %2; width: 9px;%3 }\n"
               "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
               " { height: 0px; width: 0px; border: none; background: none; }\n"
               "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical { height: 0px; width: 0px; }\n"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }\n")
        .arg(rgb(Colour::PageBackground), rgb(Colour::ScrollHandle), minimum);
}

QString label(const QString& qsFont, const QColor& colour, const QColor& disabled = QColor())
{
    QString sheet = QStringLiteral("QLabel { font: %1 \"%2\"; color: %3; background: transparent; }\n")
                        .arg(qsFont, kFamily, rgb(colour));
    if (disabled.isValid())
        sheet += QStringLiteral("QLabel:disabled { color: %1; }\n").arg(rgb(disabled));
    return sheet;
}

QString plate(const QString& qsName, const QColor& fill, int borderWidth, const QColor& border)
{
    return QStringLiteral("QFrame#%1 { background-color: %2; border: %3px solid %4; border-radius: 6px; }\n")
        .arg(qsName, rgb(fill), QString::number(borderWidth), rgb(border));
}

} // namespace

QFont font(Font role)
{
    QFont result(kFamily);
    switch (role) {
    case Font::SupportRow:
        result.setPointSize(8);
        break;
    case Font::LargeTitle:
        result.setPointSize(22);
        result.setBold(true);
        break;
    case Font::FormatComment:
        result.setPointSize(10);
        break;
    case Font::DetailsText:
    case Font::Counter:
        result.setPointSize(12);
        break;
    case Font::Button9:
        result.setPointSize(9);
        result.setBold(true);
        break;
    case Font::Button10:
        result.setPointSize(10);
        result.setBold(true);
        break;
    case Font::ProgressMessage:
        result.setPointSize(11);
        break;
    case Font::StatusText:
        result.setPointSize(9);
        break;
    case Font::CameraHeader:
        result.setPointSize(13);
        result.setBold(true);
        break;
    case Font::StatusInfo:
        result.setPointSize(10);
        break;
    case Font::StatusLink:
        result.setPointSize(10);
        result.setWeight(QFont::DemiBold); // CSS 600
        break;
    }
    return result;
}

void setFont(QWidget* pWidget, Font role)
{
    pWidget->setFont(font(role));
}

QString styleSheet(Style style, const QString& qsObjectName)
{
    const QString page = rgb(Colour::PageBackground);
    const QString band = rgb(Colour::StatusBand);
    switch (style) {
    case Style::PageBackground:
        return QStringLiteral("QWidget#%1 { background-color: %2; }\n").arg(qsObjectName, page);
    case Style::StartBackground:
    case Style::DroppingBackground:
        return QStringLiteral("QWidget#%1 { border-image: url(%2) 0 0 0 0 stretch stretch; background-color: %3; }\n")
            .arg(qsObjectName, style == Style::StartBackground ? Image::StartBg : Image::DroppingBg, page);
    case Style::StatusPane:
    case Style::StatusPaneSolid:
        // Frames inside the band draw no panel edges: the band is one flat surface.
        return QStringLiteral("QWidget#%1 { background-color: %2;%3 border: none; }\n"
                              "QWidget#%1 QFrame { border: none; }\n")
            .arg(qsObjectName, band,
                 style == Style::StatusPaneSolid ? QStringLiteral(" background: %1;").arg(band) : QString());
    case Style::StatusLabel:
        return QStringLiteral("QLabel { background: %1; background-color: %1; }\n").arg(band);
    case Style::SupportPrompt:
        return QStringLiteral("QLabel { color: %1; }\nQLabel:disabled { color: %2; }\n")
            .arg(rgb(Colour::SupportPrompt), rgb(Colour::SupportPromptDisabled));
    case Style::SupportAddress:
        return QStringLiteral("QLabel { color: %1; }\n").arg(rgb(Colour::SupportAddress));
    case Style::TitleText:
        return QStringLiteral("QLabel { color: white; }\n");
    case Style::FormatComment:
        return QStringLiteral("QLabel { color: %1; }\n").arg(rgb(Colour::NoteText));
    case Style::Counter:
        return QStringLiteral("QLabel { color: %1; background-color: %2; }\n").arg(rgb(Colour::CounterText), band);
    case Style::LargePrimaryButton:
        return primaryButton(24, Colour::StatusBand, false);
    case Style::LargePrimaryButtonSolid:
        return primaryButton(24, Colour::StatusBand, true);
    case Style::SmallPrimaryButtonOnPage:
        return primaryButton(16, Colour::PageBackground, false);
    case Style::SmallPrimaryButtonOnStatusPane:
        return primaryButton(16, Colour::StatusBand, false);
    case Style::CancelTextButton:
        return QStringLiteral("QPushButton { border: none; background-color: %1; color: %2; }\n"
                              "QPushButton:focus, QPushButton:hover { color: %3; }\n"
                              "QPushButton:disabled { color: %4; }\n")
            .arg(band, rgb(Colour::CancelText), rgb(Colour::CancelTextHovered), rgb(Colour::DisabledAccent));
    case Style::ThinProgressBar:
        return thinProgressBar(Colour::PageBackground, Colour::PlateFill);
    case Style::ThinProgressBarExport:
        return thinProgressBar(Colour::StatusBand, Colour::ExportProgressTrack);
    case Style::FlatToolButton:
        return QStringLiteral("QToolButton { border: none; background: transparent; }\n"
                              "QToolButton:hover { border: none; }\n"
                              "QToolButton:checked, QToolButton:pressed { padding: 0px; border: none; }\n");
    case Style::DetailsText:
        return QStringLiteral("QTextEdit { color: white; background-color: %1; border: none; }\n").arg(page)
               + scrollBar(true);
    case Style::ScrollBar:
        return scrollBar(false);

    case Style::StatusInfoText:
        return QStringLiteral("QLabel { color: white; background: %1; background-color: %1; }\n").arg(band);
    case Style::ProgressMessage:
        return QStringLiteral("QLabel { color: white; background: transparent; }\n");
    case Style::InfoSeparator:
        return QStringLiteral("QLabel { border: none; background: %1; background-color: %1; }\n")
            .arg(rgb(Colour::InfoSeparator));

    case Style::HeaderFrame:
        return QStringLiteral("QFrame#%1 { background-color: %2; }\n").arg(qsObjectName, page);
    case Style::HeaderText:
        return QStringLiteral("QLabel { color: white; background-color: %1; }\n").arg(page);

    case Style::TimeZoneSelector:
        return QStringLiteral("QWidget#%1 { background-color: %2; }\n").arg(qsObjectName, page);
    case Style::TimeZoneLabel:
        return label(QStringLiteral("13px"), Qt::white);
    case Style::TimeZoneCombo:
        return QStringLiteral("QComboBox { font: 13px \"%1\"; color: white; background-color: %2;"
                              " border: 1px solid %3; border-radius: 2px; padding-left: 6px; }\n"
                              "QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top right;"
                              " width: 30px; border: none; }\n"
                              "QComboBox::down-arrow { image: url(%4); width: 19px; height: 15px;"
                              " position: relative; right: 7px; bottom: 2px; }\n"
                              "QComboBox::down-arrow:on { right: 5px; bottom: 0px; }\n")
            .arg(kFamily, page, rgb(Colour::Accent), Image::ComboDownArrow);
    case Style::TimeZoneList:
        return QStringLiteral("QAbstractItemView { font: 13px \"%1\"; color: white; background-color: %2;"
                              " selection-background-color: %3; selection-color: white; border: 1px solid %4;"
                              " outline: 0px; }\n")
                   .arg(kFamily, page, rgb(Colour::PlateFill), rgb(Colour::Accent))
               + scrollBar(false);

    case Style::PaneDeleteButton:
        return QStringLiteral("QPushButton { font: bold 12px \"%1\"; background-color: white; color: rgb(200,200,200);"
                              " border: 1px solid white; border-radius: 12px; }\n"
                              "QPushButton:hover { color: %2; }\n")
            .arg(kFamily, rgb(Colour::ErrorRed));
    case Style::PaneRestoreButton:
        return QStringLiteral("QPushButton { font: bold 12px \"%1\"; background-color: %2; color: %3;"
                              " border: 2px solid %4; border-radius: 12px; }\n"
                              "QPushButton:hover { color: rgb(225,225,225); }\n")
            .arg(kFamily, page, rgb(Colour::DisabledLabelText), rgb(Colour::NeutralBorder));
    case Style::PaneErrorLabel:
        return QStringLiteral("QLabel { font: bold 12px \"%1\"; color: %2; background-color: %3; }\n")
            .arg(kFamily, rgb(Colour::ErrorRed), page);
    case Style::PaneProgressBar:
        return QStringLiteral("QProgressBar { border: none; border-radius: 6px; background-color: %1;"
                              " height: 125px; }\n"
                              "QProgressBar::chunk { background-color: %2; border-radius: 6px; }\n")
            .arg(rgb(Colour::PlateFill), rgb(Colour::Accent));
    case Style::PaneNumber:
        return label(QStringLiteral("bold 12px"), Qt::white, Colour::DisabledLabelText);
    case Style::PaneTitle:
        return label(QStringLiteral("bold 14px"), Qt::white, Colour::DisabledLabelText);
    case Style::PaneLostTime:
        return label(QStringLiteral("9px"), Qt::white, Colour::DisabledLabelText);
    case Style::PaneClock:
        return label(QStringLiteral("9px"), Qt::white, Colour::DisabledLabelText);
    case Style::PaneSecondary:
        return label(QStringLiteral("9px"), Colour::SecondaryText, Colour::SecondaryTextDisabled);
    case Style::PlateReady:
        return plate(qsObjectName, Colour::PlateFill, 1, Colour::PlateFill)
               + QStringLiteral("QFrame#%1:disabled { background-color: %2; border: 2px solid %3; }\n")
                     .arg(qsObjectName, page, rgb(Colour::NeutralBorder));
    case Style::PlateNotExported:
        return plate(qsObjectName, Colour::PageBackground, 2, Colour::NeutralBorder);
    case Style::PlateExported:
        return plate(qsObjectName, Colour::PageBackground, 2, Colour::ExportedBorder);
    case Style::PlateFailed:
        return plate(qsObjectName, Colour::PageBackground, 2, Colour::ErrorRed);
    }
    return QString();
}

void fillBackground(QWidget* pWidget, const QColor& colour)
{
    QPalette palette = pWidget->palette();
    palette.setColor(QPalette::Window, colour);
    pWidget->setPalette(palette);
    pWidget->setBackgroundRole(QPalette::Window);
    pWidget->setAutoFillBackground(true);
}

void applyHeaderLook(QWidget* pWidget, Style style)
{
    fillBackground(pWidget, Colour::PageBackground);
    if (style != Style::HeaderText)
        return;
    QPalette palette = pWidget->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    pWidget->setPalette(palette);
}

void drawPlate(QPainter& painter, const QWidget* pPlate, Style look)
{
    const QSize size = pPlate->size();
    const qreal dpr = pPlate->devicePixelRatioF();
    const QString qsKey = QStringLiteral("kc-plate-%1-%2-%3x%4@%5")
                              .arg(int(look))
                              .arg(int(pPlate->isEnabled()))
                              .arg(size.width())
                              .arg(size.height())
                              .arg(dpr);
    QPixmap picture;
    if (!QPixmapCache::find(qsKey, &picture)) {
        const QString qsName = QStringLiteral("plate_main");
        QFrame model;
        model.setObjectName(qsName);
        model.setStyleSheet(styleSheet(look, qsName));
        model.setEnabled(pPlate->isEnabled());
        model.resize(size);
        picture = QPixmap(size * dpr);
        picture.setDevicePixelRatio(dpr);
        picture.fill(Qt::transparent);
        // Without the window background: the corners outside the radius stay transparent.
        model.render(&picture, QPoint(), QRegion(), QWidget::RenderFlags());
        QPixmapCache::insert(qsKey, picture);
    }
    painter.drawPixmap(0, 0, picture);
}

void setVisibleStyled(QWidget* pWidget, Style style, bool bVisible)
{
    if (bVisible && pWidget->styleSheet().isEmpty())
        applyStyle(pWidget, style);
    pWidget->setVisible(bVisible);
}

void applyPaneLabelLook(QLabel* pLabel, Style style)
{
    QFont font(kFamily);
    QColor colour = Qt::white;
    QColor disabled = Colour::DisabledLabelText;
    switch (style) {
    case Style::PaneNumber:
        font.setPixelSize(12);
        font.setBold(true);
        break;
    case Style::PaneTitle:
        font.setPixelSize(14);
        font.setBold(true);
        break;
    case Style::PaneSecondary:
        font.setPixelSize(9);
        colour = Colour::SecondaryText;
        disabled = Colour::SecondaryTextDisabled;
        break;
    default:
        font.setPixelSize(9);
        break;
    }
    pLabel->setFont(font);
    QPalette palette = pLabel->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    pLabel->setPalette(palette);
    pLabel->setAutoFillBackground(false);
}

void applyStyle(QWidget* pWidget, Style style)
{
    pWidget->setStyleSheet(styleSheet(style, pWidget->objectName()));
}

void addLetterSpacing(QAbstractButton* pButton)
{
    QFont spaced = pButton->font();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 1.33);
    pButton->setFont(spaced);
}

QStyle* fusionStyle()
{
    // One instance for all scroll bars; it lives as long as the application object.
    static QPointer<QStyle> s_pFusion;
    if (!s_pFusion) {
        s_pFusion = QStyleFactory::create(QStringLiteral("fusion"));
        if (s_pFusion && QCoreApplication::instance())
            s_pFusion->setParent(QCoreApplication::instance());
    }
    return s_pFusion;
}

QIcon hoverIcon(const QString& qsNormal, const QString& qsHovered)
{
    initResources();
    QIcon icon;
    icon.addFile(qsNormal, QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(qsNormal, QSize(), QIcon::Normal, QIcon::On);
    icon.addFile(qsHovered, QSize(), QIcon::Active, QIcon::Off);
    icon.addFile(qsHovered, QSize(), QIcon::Active, QIcon::On);
    return icon;
}

void initResources()
{
    static const bool s_bRegistered = [] {
        registerFormImages();
        return true;
    }();
    (void)s_bRegistered;
}

} // namespace KcForms::Look
