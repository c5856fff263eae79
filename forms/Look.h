#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

#include <optional>

class QAbstractButton;
class QLabel;
class QPainter;
class QStyle;
class QWidget;

// The dark, flat look shared by every form: palette, fonts, named style sheets and the images
// compiled in under ":/frm/". Forms ask for a look by name and never spell out colours.
namespace KcForms::Look {

// Palette.
namespace Colour {
inline const QColor PageBackground{33, 33, 33};
inline const QColor StatusBand{48, 48, 48}; // also the fill of outlined buttons
inline const QColor PlateFill{55, 55, 55};  // also the progress form's progress track
inline const QColor ExportProgressTrack{69, 69, 69};
inline const QColor InfoSeparator{38, 38, 38};
inline const QColor Accent{75, 141, 221};
inline const QColor AccentHovered{71, 139, 224};
inline const QColor DisabledAccent{56, 76, 100};
inline const QColor CancelText{223, 73, 71};
inline const QColor CancelTextHovered{225, 3, 0};
inline const QColor ErrorRed{221, 75, 75};
inline const QColor ErrorRedDisabled{90, 46, 46};
inline const QColor TimeLine{44, 188, 108};
inline const QColor ExportedBorder{44, 200, 113};
inline const QColor SupportPrompt{117, 117, 117};
inline const QColor SupportPromptDisabled{120, 120, 120};
inline const QColor SupportAddress{112, 233, 209};
inline const QColor Link{0x78, 0xf3, 0xe1};
inline const QColor CounterText{151, 151, 151};
inline const QColor SecondaryText{175, 175, 175};
inline const QColor SecondaryTextDisabled{100, 100, 100};
inline const QColor DisabledLabelText{144, 144, 144};
inline const QColor NoteText{0x90, 0x90, 0x90}; // the format note under the start prompt
inline const QColor HeaderUnderline{77, 77, 77};
inline const QColor NeutralBorder{100, 100, 100};
inline const QColor ScrollHandle{71, 71, 71};
} // namespace Colour

// The red of lost time inside rich text, written as six hexadecimal digits after "color=#".
inline const QString kLostTimeRgbHex = QStringLiteral("DD4B4B");
inline const QString kLostTimeRgbHexDisabled = QStringLiteral("5A2E2E");

// Fonts by role; every one is Arial (Liberation Sans stands in for it where Arial is missing).
enum class Font {
    SupportRow,      // 8 pt
    LargeTitle,      // 22 pt bold
    FormatComment,   // 10 pt
    DetailsText,     // 12 pt
    Counter,         // 12 pt
    Button9,         // 9 pt bold
    Button10,        // 10 pt bold
    ProgressMessage, // 11 pt
    StatusText,      // 9 pt body of the status labels
    CameraHeader,    // 13 pt bold
    StatusInfo,      // 10 pt: the location and size texts of the videos-found form
    StatusLink,      // 10 pt, weight 600: the location link; long locations are measured with it
};

// Weight of the links in the status texts, as rich text writes it.
constexpr int kStatusLinkWeight = 600;

QFont font(Font role);
void setFont(QWidget* pWidget, Font role);

// Named style sheets. Sheets that are set on a container name it by object name, so they never
// leak into the children.
enum class Style {
    PageBackground,     // the dialog or widget on rgb(33,33,33)
    StartBackground,    // border image :/frm/startBg
    DroppingBackground, // border image :/frm/droppingBg
    StatusPane,         // frame or widget on rgb(48,48,48)
    StatusPaneSolid,    // the same with a solid background (videos-found panes)
    StatusLabel,        // label on a solid rgb(48,48,48)
    SupportPrompt,      // grey support text
    SupportAddress,     // turquoise address
    TitleText,          // white large titles and messages
    FormatComment,      // the format note under the start prompt
    Counter,            // the found-files counter
    LargePrimaryButton,
    LargePrimaryButtonSolid,
    SmallPrimaryButtonOnPage,
    SmallPrimaryButtonOnStatusPane,
    CancelTextButton,
    ThinProgressBar,       // on the progress form
    ThinProgressBarExport, // on the export status pane
    FlatToolButton,
    DetailsText,
    ScrollBar, // the 9-pixel vertical scroll bar, set on the bar itself
    // Videos-found form.
    StatusInfoText,  // location, size and export error texts on the status band
    ProgressMessage, // the export progress line
    InfoSeparator,   // the thin bar right of the export error text
    // Camera header row.
    HeaderFrame,
    HeaderText,
    // Time zone selector.
    TimeZoneSelector,
    TimeZoneLabel,
    TimeZoneCombo,
    TimeZoneList, // the popup list, styled apart: a popup window does not follow its combo's sheet
    // Date panes.
    PaneDeleteButton,
    PaneRestoreButton,
    PaneErrorLabel,
    PaneProgressBar,
    PaneNumber,
    PaneTitle,
    PaneLostTime,
    PaneClock,
    PaneSecondary, // date and size
    PlateReady,    // state 0; the disabled look is part of it
    PlateNotExported,
    PlateExported,
    PlateFailed,
};

// The sheet of a style for a widget of the given object name (needed by the container styles).
QString styleSheet(Style style, const QString& qsObjectName = QString());
// Sets the sheet of a style on a widget, selecting it by its object name where needed.
void applyStyle(QWidget* pWidget, Style style);

// Large buttons read with a little air between the letters.
void addLetterSpacing(QAbstractButton* pButton);

// Scroll bars use this style so that their style sheets apply fully whatever the platform style.
QStyle* fusionStyle();

// A tool button icon: one image normally and another while the mouse is over the button.
QIcon hoverIcon(const QString& qsNormal, const QString& qsHovered);

// Resource paths.
namespace Image {
inline const QString StartBg = QStringLiteral(":/frm/startBg");
inline const QString DroppingBg = QStringLiteral(":/frm/droppingBg");
inline const QString KelmsIcon = QStringLiteral(":/frm/kelmsIcon");
inline const QString CancelBtnNormal = QStringLiteral(":/frm/cancelBtnNormal");
inline const QString CancelBtnHovered = QStringLiteral(":/frm/cancelBtnHovered");
inline const QString StatusPaneCancelBtnNormal = QStringLiteral(":/frm/statusPaneCancelBtnNormal");
inline const QString RefreshBtnNormal = QStringLiteral(":/frm/refreshBtnNormal");
inline const QString RefreshBtnHovered = QStringLiteral(":/frm/refreshBtnHovered");
inline const QString ExclamationIcon = QStringLiteral(":/frm/exclamationIcon");
inline const QString ComboDownArrow = QStringLiteral(":/frm/comboDownArrow");
} // namespace Image

// The rounded frame drawn into the start backgrounds spans 640 of their 1024 pixels; the images
// stretch with the page. Texts inside the frame keep this share of the page width (with margins).
constexpr double kStartFrameTextShare = (640.0 - 2 * 28.0) / 1024.0;

// The videos-found page, its list and everything on the list take their colours from palettes
// and paint their plates and lines themselves: a style sheet on the page, the list or any other
// ancestor puts every header, pane and label of the list under the style sheet style, whose
// polish of each widget made long lists slow to show.

// Fills the widget's background with a colour, as a background-color sheet would.
void fillBackground(QWidget* pWidget, const QColor& colour);
// The camera header's frame and text (Style::HeaderFrame, Style::HeaderText) by palette; its
// underline is painted by the header with Colour::HeaderUnderline.
void applyHeaderLook(QWidget* pWidget, Style style);
// The labels on a plate (Style::PaneNumber ... Style::PaneSecondary) by font and palette.
void applyPaneLabelLook(QLabel* pLabel, Style style);
// Paints a plate (its rect, enabled or not) in one of the Style::Plate... looks exactly as that
// sheet does: the sheet renders each look, size and state once into a cached picture.
void drawPlate(QPainter& painter, const QWidget* pPlate, Style look);
// Shows or hides a widget that most panes never show (Delete, Restore, the error label, the
// progress bar); it takes the sheet of its style when first shown, so a list polishes none.
void setVisibleStyled(QWidget* pWidget, Style style, bool bVisible);

// Makes sure the images are registered; the forms call it before they use any of them, so a
// static link never drops the resource data.
void initResources();

} // namespace KcForms::Look
