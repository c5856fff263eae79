// Draws the images of the desktop program's dark look into a folder, one PNG per resource.
// The drawings use plain shapes only (no text), so the result does not depend on installed fonts.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QString>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <vector>

namespace {

const QColor kPage(33, 33, 33);
const QColor kAccent(75, 141, 221);
const QColor kAccentHovered(71, 139, 224);
const QColor kErrorRed(221, 75, 75);
const QColor kNeutralBorder(100, 100, 100);
constexpr double kPi = 3.14159265358979323846;

struct SImage {
    const char* fileName;
    int width;
    int height;
    std::function<void(QPainter&, const QSize&)> draw;
};

QImage newImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The start page: a flat dark page with a framed drop panel in the upper middle, where the
// prompt, the format note and the browse button sit. The picture is stretched over the whole
// page, so the panel is placed in proportions that hold from 900x400 to full screen.
void drawStartBackground(QPainter& painter, const QSize& size, bool bDropping)
{
    painter.fillRect(QRect(QPoint(0, 0), size), kPage);

    // While a drag hovers, the status band is hidden and the content moves down; the panel
    // follows it.
    const QRectF panel = bDropping ? QRectF(192, 236, 640, 360) : QRectF(192, 196, 640, 330);
    QPainterPath path;
    path.addRoundedRect(panel, 18, 18);

    if (bDropping) {
        QColor fill = kAccent;
        fill.setAlpha(28);
        painter.fillPath(path, fill);
        QPen pen(kAccent, 3);
        painter.setPen(pen);
        painter.drawPath(path);

        // Corner marks around the panel: the target of the drop.
        QPen markPen(kAccentHovered, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(markPen);
        const qreal gap = 12;
        const qreal arm = 34;
        const QRectF outer = panel.adjusted(-gap, -gap, gap, gap);
        const QPointF corners[4] = {outer.topLeft(), outer.topRight(), outer.bottomRight(), outer.bottomLeft()};
        const QPointF dirs[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
        for (int i = 0; i < 4; ++i) {
            const QPointF c = corners[i];
            painter.drawLine(c, c + QPointF(dirs[i].x() * arm, 0));
            painter.drawLine(c, c + QPointF(0, dirs[i].y() * arm));
        }
    } else {
        painter.fillPath(path, QColor(37, 37, 37));
        QPen pen(QColor(74, 74, 74), 2, Qt::CustomDashLine, Qt::FlatCap);
        pen.setDashPattern({6, 5});
        painter.setPen(pen);
        painter.drawPath(path);
    }
}

// A sheet of paper with a folded corner and a blue film band with a play mark.
void drawKelmsIcon(QPainter& painter, const QSize&)
{
    QPainterPath sheet;
    sheet.moveTo(6.5, 1.5);
    sheet.lineTo(20.5, 1.5);
    sheet.lineTo(26.5, 7.5);
    sheet.lineTo(26.5, 30.5);
    sheet.lineTo(6.5, 30.5);
    sheet.closeSubpath();
    painter.fillPath(sheet, QColor(210, 210, 210));
    painter.setPen(QPen(QColor(160, 160, 160), 1));
    painter.drawPath(sheet);

    QPainterPath fold;
    fold.moveTo(20.5, 1.5);
    fold.lineTo(20.5, 7.5);
    fold.lineTo(26.5, 7.5);
    fold.closeSubpath();
    painter.fillPath(fold, QColor(150, 150, 150));

    painter.fillRect(QRectF(3, 13, 22, 12), kAccent);
    for (int x = 5; x < 24; x += 4) {
        painter.fillRect(QRectF(x, 14, 2, 1.5), QColor(255, 255, 255, 170));
        painter.fillRect(QRectF(x, 22.5, 2, 1.5), QColor(255, 255, 255, 170));
    }
    QPolygonF play;
    play << QPointF(11.5, 16.2) << QPointF(17.5, 19) << QPointF(11.5, 21.8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(play);
}

// A round button with a cross.
void drawCancelButton(QPainter& painter, const QSize& size, const QColor& fill, const QColor& border,
                      const QColor& cross)
{
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    painter.setPen(border.isValid() ? QPen(border, 1) : QPen(Qt::NoPen));
    painter.setBrush(fill);
    painter.drawEllipse(centre, 11.5, 11.5);

    painter.setPen(QPen(cross, 2, Qt::SolidLine, Qt::RoundCap));
    const qreal arm = 4.2;
    painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
}

// A circular arrow, optionally on a filled disc.
void drawRefreshButton(QPainter& painter, const QSize& size, const QColor& disc, const QColor& arrow)
{
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    if (disc.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(disc);
        painter.drawEllipse(centre, 15, 15);
    }

    const qreal radius = 8.5;
    const QRectF arcRect(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.setPen(QPen(arrow, 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    // Qt angles: counter-clockwise from three o'clock, in 1/16 degree.
    const int startDeg = 60;
    const int spanDeg = 290;
    painter.drawArc(arcRect, startDeg * 16, spanDeg * 16);

    // The head sits at the start of the arc and points along the clockwise direction of travel.
    const double a = startDeg * kPi / 180.0;
    const QPointF tip(centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a));
    const QPointF along(std::sin(a), std::cos(a)); // clockwise tangent in screen coordinates
    const QPointF across(std::cos(a), -std::sin(a));
    QPolygonF head;
    head << tip + along * 4.5 << tip - along * 1.5 + across * 4.0 << tip - along * 1.5 - across * 4.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(arrow);
    painter.drawPolygon(head);
}

void drawExclamation(QPainter& painter, const QSize&)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kErrorRed);
    painter.drawEllipse(QPointF(8, 8), 7.5, 7.5);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(7, 3.2, 2, 6.8), 1, 1);
    painter.drawEllipse(QPointF(8, 12.2), 1.2, 1.2);
}

void drawComboArrow(QPainter& painter, const QSize&)
{
    painter.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPolygonF chevron;
    chevron << QPointF(5, 5.5) << QPointF(9.5, 10) << QPointF(14, 5.5);
    painter.drawPolyline(chevron);
}

// The program's icon for menus and launchers: a camera on a dark rounded tile, a play mark on its
// lens. Drawn on a 256 grid and scaled, so that every size comes from one drawing.
void drawAppIcon(QPainter& painter, const QSize& size)
{
    painter.scale(size.width() / 256.0, size.height() / 256.0);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    painter.fillPath(tile, kPage);
    painter.setPen(QPen(kAccent, 8));
    painter.drawPath(tile);

    // The body with its viewfinder hump, then the lens.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawRoundedRect(QRectF(40, 84, 176, 120), 20, 20);
    painter.drawRoundedRect(QRectF(84, 60, 64, 36), 10, 10);
    const QPointF lens(128, 144);
    painter.setBrush(kPage);
    painter.drawEllipse(lens, 44, 44);
    painter.setBrush(Qt::white);
    QPolygonF play;
    play << lens + QPointF(-14, -22) << lens + QPointF(24, 0) << lens + QPointF(-14, 22);
    painter.drawPolygon(play);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTextStream err(stderr);
    const QString qsFirst = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (argc == 2 && (qsFirst == QLatin1String("--help") || qsFirst == QLatin1String("-h"))) {
        QTextStream(stdout)
            << "usage: draw-images <images folder> [<icon theme folder>]\n"
               "Draws the program's images (PNG) into the folder, and its icons into the theme folder.\n";
        return 0;
    }
    if ((argc != 2 && argc != 3) || (qsFirst.size() > 1 && qsFirst.startsWith(QLatin1Char('-')))) {
        if (argc >= 2 && qsFirst.startsWith(QLatin1Char('-')))
            err << "draw-images: unknown option " << qsFirst << "\n";
        err << "usage: draw-images <images folder> [<icon theme folder>]\n";
        return 2;
    }
    const QDir outDir(QString::fromLocal8Bit(argv[1]));
    if (!outDir.exists() && !QDir().mkpath(outDir.path())) {
        err << "cannot create " << outDir.path() << "\n";
        return 1;
    }

    const std::vector<SImage> images = {
        {"startBg.png", 1024, 768, [](QPainter& p, const QSize& s) { drawStartBackground(p, s, false); }},
        {"droppingBg.png", 1024, 768, [](QPainter& p, const QSize& s) { drawStartBackground(p, s, true); }},
        {"kelmsIcon.png", 32, 32, drawKelmsIcon},
        {"cancelBtnNormal.png", 25, 25,
         [](QPainter& p, const QSize& s) {
             drawCancelButton(p, s, QColor(55, 55, 55), kNeutralBorder, QColor(200, 200, 200));
         }},
        {"cancelBtnHovered.png", 25, 25,
         [](QPainter& p, const QSize& s) { drawCancelButton(p, s, kErrorRed, QColor(), Qt::white); }},
        {"statusPaneCancelBtnNormal.png", 25, 25,
         [](QPainter& p, const QSize& s) {
             drawCancelButton(p, s, QColor(69, 69, 69), QColor(110, 110, 110), QColor(200, 200, 200));
         }},
        {"refreshBtnNormal.png", 32, 32,
         [](QPainter& p, const QSize& s) { drawRefreshButton(p, s, QColor(), kAccent); }},
        {"refreshBtnHovered.png", 32, 32,
         [](QPainter& p, const QSize& s) { drawRefreshButton(p, s, kAccentHovered, Qt::white); }},
        {"exclamationIcon.png", 16, 16, drawExclamation},
        {"comboDownArrow.png", 19, 15, drawComboArrow},
    };

    const auto write = [&err](const SImage& image, const QString& path) {
        QImage canvas = newImage(image.width, image.height);
        {
            QPainter painter(&canvas);
            painter.setRenderHint(QPainter::Antialiasing);
            image.draw(painter, canvas.size());
        }
        if (!canvas.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
            err << "cannot write " << path << "\n";
            return false;
        }
        return true;
    };
    for (const SImage& image : images) {
        if (!write(image, outDir.filePath(QString::fromLatin1(image.fileName))))
            return 1;
    }

    // The icon theme's layout: hicolor/<N>x<N>/apps/kelmconverter.png.
    if (argc == 3) {
        const QDir themeDir(QString::fromLocal8Bit(argv[2]));
        for (const int nSize : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString qsFolder = QStringLiteral("hicolor/%1x%1/apps").arg(nSize);
            if (!QDir().mkpath(themeDir.filePath(qsFolder))) {
                err << "cannot create " << themeDir.filePath(qsFolder) << "\n";
                return 1;
            }
            if (!write({"kelmconverter.png", nSize, nSize, drawAppIcon},
                       themeDir.filePath(qsFolder + QStringLiteral("/kelmconverter.png"))))
                return 1;
        }
    }
    return 0;
}
