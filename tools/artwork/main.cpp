// Paints the editor's artwork: the front panel, foot switches, LEDs, the metal
// bar, the exit and done badges and the logo, at the sizes the windows expect
// (and twice that for high-density screens), and the desktop icon in the sizes
// the icon theme takes. Deterministic: the same build paints the same pixels.

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <random>
#include <tuple>

namespace {

const QString kFontFamily = QStringLiteral("DejaVu Sans");

// A picture of width x height window pixels, painted at scale times that many
// image pixels: the painter works in window pixels throughout.
QImage blank(int width, int height, qreal scale)
{
    QImage image(qRound(width * scale), qRound(height * scale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

QFont font(int pixelSize, QFont::Weight weight = QFont::Bold, qreal spacing = 0)
{
    QFont f(kFontFamily);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    if (spacing != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Fine horizontal streaks of brushed metal over whatever is painted already.
void brush(QPainter& p, const QRectF& area, int alpha, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> shade(0, 255);
    std::uniform_real_distribution<double> length(0.15, 0.9);
    std::uniform_real_distribution<double> start(0.0, 1.0);
    for (int y = int(area.top()); y < int(area.bottom()); ++y) {
        for (int streak = 0; streak < 3; ++streak) {
            const int v = shade(random);
            p.setPen(QColor(v, v, v, alpha));
            const double x0 = area.left() + start(random) * area.width();
            p.drawLine(QPointF(x0, y + 0.5), QPointF(x0 + length(random) * area.width(), y + 0.5));
        }
    }
}

void screw(QPainter& p, QPointF centre, qreal radius)
{
    QRadialGradient head(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    head.setColorAt(0, QColor(210, 212, 216));
    head.setColorAt(0.6, QColor(120, 122, 128));
    head.setColorAt(1, QColor(50, 52, 56));
    p.setPen(QPen(QColor(20, 20, 22), 1));
    p.setBrush(head);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(40, 40, 44), 2));
    p.drawLine(centre - QPointF(radius * 0.6, -radius * 0.25), centre + QPointF(radius * 0.6, -radius * 0.25));
}

// Window coordinates of the front panel map onto the picture, which the
// window shows scaled into a 1241 x 541 label at x = 10.
constexpr qreal kPanelWidth = 1280;
constexpr qreal kPanelHeight = 548;
constexpr qreal kScaleX = kPanelWidth / 1241.0;
constexpr qreal kScaleY = kPanelHeight / 541.0;

QPointF panelPoint(qreal windowX, qreal windowY)
{
    return {(windowX - 10) * kScaleX, windowY * kScaleY};
}

QRectF panelRect(qreal x, qreal y, qreal w, qreal h)
{
    return QRectF(panelPoint(x, y), panelPoint(x + w, y + h));
}

void legend(QPainter& p, const QRectF& area, const QString& text, int size, QColor colour = QColor(225, 228, 232))
{
    p.setFont(font(size, QFont::Bold, 1.5));
    p.setPen(colour);
    p.drawText(area, Qt::AlignCenter, text);
}

QImage panel(qreal scale)
{
    QImage image = blank(int(kPanelWidth), int(kPanelHeight), scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF plate(4, 4, kPanelWidth - 8, kPanelHeight - 8);
    QLinearGradient body(plate.topLeft(), plate.bottomLeft());
    body.setColorAt(0, QColor(58, 62, 68));
    body.setColorAt(0.5, QColor(38, 41, 46));
    body.setColorAt(1, QColor(24, 26, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(plate, 18, 18);
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(plate, 18, 18);
    p.setClipPath(clip);
    brush(p, plate, 10, 7);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(110, 116, 124), 2));
    p.drawRoundedRect(plate.adjusted(1, 1, -1, -1), 17, 17);
    p.setPen(QPen(QColor(12, 13, 15), 2));
    p.drawRoundedRect(plate.adjusted(6, 6, -6, -6), 13, 13);

    // The exit key and the version text cover the top corners.
    for (const QPointF& corner : {QPointF(30, kPanelHeight / 2), QPointF(kPanelWidth - 30, kPanelHeight / 2),
                                  QPointF(30, kPanelHeight - 30), QPointF(kPanelWidth - 30, kPanelHeight - 30)})
        screw(p, corner, 9);

    // Recess for the editor's version text.
    p.setPen(QPen(QColor(90, 96, 104), 1));
    p.setBrush(QColor(8, 8, 10));
    p.drawRoundedRect(panelRect(1066, 27, 159, 22), 4, 4);

    // Brand, to the right of the exit key.
    p.setFont(font(46, QFont::Black, 9));
    QLinearGradient chrome(0, 50, 0, 110);
    chrome.setColorAt(0, QColor(250, 250, 252));
    chrome.setColorAt(0.55, QColor(170, 176, 186));
    chrome.setColorAt(1, QColor(235, 238, 242));
    p.setPen(QPen(QBrush(chrome), 1));
    const QRectF brandArea = panelRect(95, 50, 560, 56);
    p.drawText(brandArea, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZANDORIUM"));
    p.setFont(font(14, QFont::DemiBold, 4));
    p.setPen(QColor(64, 170, 255));
    p.drawText(panelRect(99, 104, 740, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("PROGRAMMABLE LOOP SWITCHER  \u00B7  10 LOOPS  \u00B7  MIDI"));

    // Display window behind the bank, number and name fields.
    const QRectF display = panelRect(872, 112, 344, 47);
    p.setPen(QPen(QColor(8, 8, 10), 3));
    QLinearGradient glass(display.topLeft(), display.bottomLeft());
    glass.setColorAt(0, QColor(14, 16, 20));
    glass.setColorAt(1, QColor(32, 36, 42));
    p.setBrush(glass);
    p.drawRoundedRect(display, 6, 6);
    p.setPen(QPen(QColor(120, 126, 134), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(display.adjusted(-3, -3, 3, 3), 8, 8);
    legend(p, panelRect(866, 92, 64, 16), QStringLiteral("BANK/NR"), 9, QColor(150, 156, 166));
    legend(p, panelRect(930, 92, 120, 16), QStringLiteral("MEMORY"), 10, QColor(150, 156, 166));

    // Key rings and legends. Keys are 61 x 61 at these window positions.
    struct Key {
        qreal x, y;
        QString text;
    };
    const qreal xs[] = {86, 258, 430, 602, 774};
    QVector<Key> keys;
    for (int i = 0; i < 5; ++i) {
        keys.append({xs[i], 193, QString::number(i + 6)});
        keys.append({xs[i], 400, QString::number(i + 1)});
    }
    keys.append({944, 193, QStringLiteral("SW1")});
    keys.append({944, 400, QStringLiteral("SW2")});
    keys.append({1116, 193, QStringLiteral("MENU")});
    keys.append({1116, 400, QStringLiteral("TAP")});
    for (const Key& key : keys) {
        const QPointF centre = panelPoint(key.x + 30.5, key.y + 30.5);
        QRadialGradient well(centre, 44);
        well.setColorAt(0.70, QColor(10, 10, 12, 230));
        well.setColorAt(1.0, QColor(10, 10, 12, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(well);
        p.drawEllipse(centre, 44, 44);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(150, 156, 164), 2));
        p.drawEllipse(centre, 38, 38);
        legend(p, panelRect(key.x - 20, key.y + 70, 101, 22), key.text, 17);
    }

    // Row captions and the rule between the rows.
    legend(p, panelRect(86, 160, 749, 18), QStringLiteral("L O O P S   6 - 1 0"), 11, QColor(64, 170, 255));
    legend(p, panelRect(86, 367, 749, 18), QStringLiteral("L O O P S   1 - 5"), 11, QColor(64, 170, 255));
    p.setPen(QPen(QColor(90, 96, 104), 1));
    p.drawLine(panelPoint(70, 330), panelPoint(1200, 330));

    // Amplifier LEDs: printed caption above, channel letters below.
    legend(p, panelRect(878, 356, 68, 16), QStringLiteral("AMP"), 10, QColor(150, 156, 166));
    legend(p, panelRect(885, 392, 21, 16), QStringLiteral("A"), 12);
    legend(p, panelRect(918, 392, 21, 16), QStringLiteral("B"), 12);
    p.setPen(QPen(QColor(90, 96, 104), 1));
    p.setBrush(QColor(8, 8, 10));
    p.drawRoundedRect(panelRect(882, 371, 27, 22), 4, 4);
    p.drawRoundedRect(panelRect(915, 371, 27, 22), 4, 4);

    // Rear connections, printed along the bottom edge.
    p.setPen(QPen(QColor(90, 96, 104), 1));
    p.drawLine(panelPoint(70, 505), panelPoint(1200, 505));
    p.setFont(font(11, QFont::DemiBold, 3));
    p.setPen(QColor(140, 146, 156));
    p.drawText(panelRect(70, 510, 1130, 18), Qt::AlignCenter,
               QStringLiteral("EXP 1   \u00B7   EXP 2   \u00B7   AMP A/B   \u00B7   BUFFER 2   \u00B7   "
                              "MIDI IN   \u00B7   MIDI OUT/THRU   \u00B7   9 V DC"));
    return image;
}

QImage footSwitch(const QColor& ring, bool lit, qreal scale)
{
    QImage image = blank(60, 60, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(30, 30);

    if (lit) {
        QRadialGradient glow(centre, 30);
        glow.setColorAt(0.70, QColor(ring.red(), ring.green(), ring.blue(), 200));
        glow.setColorAt(1.0, QColor(ring.red(), ring.green(), ring.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, 30, 30);
    }
    // LED ring around the cap.
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? ring : QColor(40, 42, 46));
    p.drawEllipse(centre, 25, 25);
    // Chrome bezel.
    QLinearGradient bezel(0, 6, 0, 54);
    bezel.setColorAt(0, QColor(245, 246, 248));
    bezel.setColorAt(0.5, QColor(130, 134, 140));
    bezel.setColorAt(1, QColor(215, 218, 222));
    p.setBrush(bezel);
    p.drawEllipse(centre, 21, 21);
    // Cap.
    QRadialGradient cap(centre - QPointF(5, 6), 22);
    cap.setColorAt(0, QColor(235, 236, 240));
    cap.setColorAt(0.5, QColor(160, 164, 170));
    cap.setColorAt(1, QColor(70, 72, 78));
    p.setBrush(cap);
    p.drawEllipse(centre, 17, 17);
    p.setPen(QPen(QColor(60, 62, 66), 1));
    p.setBrush(Qt::NoBrush);
    for (qreal r = 6; r < 17; r += 4)
        p.drawEllipse(centre, r, r);
    return image;
}

QImage led(bool lit, qreal scale)
{
    QImage image = blank(262, 200, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(131, 100);
    if (lit) {
        QRadialGradient halo(centre, 131);
        halo.setColorAt(0.35, QColor(40, 140, 255, 220));
        halo.setColorAt(1.0, QColor(40, 140, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(centre, 131, 100);
    }
    QRadialGradient dome(centre - QPointF(22, 24), 90);
    if (lit) {
        dome.setColorAt(0, QColor(235, 248, 255));
        dome.setColorAt(0.35, QColor(90, 185, 255));
        dome.setColorAt(1, QColor(10, 80, 200));
    } else {
        dome.setColorAt(0, QColor(120, 130, 150));
        dome.setColorAt(0.4, QColor(36, 48, 72));
        dome.setColorAt(1, QColor(12, 16, 26));
    }
    p.setPen(QPen(QColor(20, 22, 26), 8));
    p.setBrush(dome);
    p.drawEllipse(centre, 78, 70);
    return image;
}

QImage metalBar(qreal scale)
{
    QImage image = blank(1500, 20, scale);
    QPainter p(&image);
    QLinearGradient metal(0, 0, 0, 20);
    metal.setColorAt(0, QColor(236, 238, 241));
    metal.setColorAt(0.15, QColor(190, 194, 199));
    metal.setColorAt(0.6, QColor(150, 154, 160));
    metal.setColorAt(1, QColor(88, 91, 96));
    p.fillRect(QRectF(0, 0, 1500, 20), metal);
    brush(p, QRectF(0, 1, 1500, 18), 26, 3);
    p.setPen(QColor(255, 255, 255, 160));
    p.drawLine(0, 0, 1499, 0);
    p.setPen(QColor(40, 42, 46));
    p.drawLine(0, 19, 1499, 19);
    // Grip in the middle of the bar.
    for (int x = 720; x < 780; x += 6) {
        p.setPen(QColor(80, 83, 88));
        p.drawLine(x, 5, x, 14);
        p.setPen(QColor(230, 232, 236));
        p.drawLine(x + 1, 5, x + 1, 14);
    }
    return image;
}

QImage exitIcon(qreal scale)
{
    QImage image = blank(40, 40, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient face(QPointF(15, 13), 26);
    face.setColorAt(0, QColor(255, 120, 110));
    face.setColorAt(0.6, QColor(200, 30, 30));
    face.setColorAt(1, QColor(110, 10, 12));
    p.setPen(QPen(QColor(30, 8, 8), 1.5));
    p.setBrush(face);
    p.drawEllipse(QPointF(20, 20), 18.5, 18.5);
    QPen symbol(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(symbol);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10.5, 11.5, 19, 19), 120 * 16, 300 * 16);
    p.drawLine(QPointF(20, 8.5), QPointF(20, 19.5));
    return image;
}

QImage doneBadge(qreal scale)
{
    QImage image = blank(171, 77, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF badge(3, 3, 165, 71);
    QLinearGradient fill(badge.topLeft(), badge.bottomLeft());
    fill.setColorAt(0, QColor(90, 220, 110));
    fill.setColorAt(1, QColor(20, 130, 50));
    p.setPen(QPen(QColor(10, 60, 24), 3));
    p.setBrush(fill);
    p.drawRoundedRect(badge, 16, 16);
    p.setPen(QPen(QColor(255, 255, 255, 110), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(badge.adjusted(5, 5, -5, -5), 12, 12);
    QPen tick(Qt::white, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(tick);
    QPainterPath check;
    check.moveTo(22, 40);
    check.lineTo(36, 54);
    check.lineTo(60, 24);
    p.drawPath(check);
    p.setFont(font(30, QFont::Black, 2));
    p.setPen(Qt::white);
    p.drawText(QRectF(66, 3, 96, 71), Qt::AlignCenter, QStringLiteral("DONE"));
    return image;
}

QLinearGradient chrome(qreal top, qreal bottom)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, QColor(250, 251, 253));
    gradient.setColorAt(0.5, QColor(140, 148, 160));
    gradient.setColorAt(1, QColor(225, 230, 236));
    return gradient;
}

const QColor kLogoBlue(40, 140, 255);

QImage logo(qreal scale)
{
    QImage image = blank(612, 103, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath word;
    word.addText(QPointF(14, 72), font(70, QFont::Black, 8), QStringLiteral("ZANDORIUM"));
    p.setPen(QPen(QColor(20, 22, 26), 3));
    p.setBrush(chrome(8, 78));
    p.drawPath(word);
    p.setPen(Qt::NoPen);
    p.setBrush(kLogoBlue);
    p.drawRect(QRectF(16, 84, 580, 4));
    p.setFont(font(12, QFont::DemiBold, 6));
    p.setPen(kLogoBlue);
    p.drawText(QRectF(16, 88, 580, 15), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("UPLOADER"));
    return image;
}

// The desktop icon: the logo's chrome Z and blue rule on a tile of the front
// panel's dark metal. Painted on a 256-pixel grid at any size.
constexpr int kIconGrid = 256;

QImage appIcon(int size)
{
    // Scaled by the painter: a device pixel ratio below one is not honoured.
    QImage image = blank(size, size, 1);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kIconGrid, qreal(size) / kIconGrid);
    const QRectF tile(8, 8, 240, 240);
    QLinearGradient metal(0, tile.top(), 0, tile.bottom());
    metal.setColorAt(0, QColor(70, 74, 80));
    metal.setColorAt(1, QColor(24, 26, 30));
    p.setPen(QPen(QColor(12, 13, 15), 4));
    p.setBrush(metal);
    p.drawRoundedRect(tile, 44, 44);
    if (size >= 64) {
        p.setClipRect(tile.adjusted(20, 20, -20, -20));
        brush(p, tile, 18, 11);
        p.setClipping(false);
    }
    QPainterPath letter;
    const QFont face = font(196, QFont::Black);
    letter.addText(QPointF(0, 0), face, QStringLiteral("Z"));
    const QRectF box = letter.boundingRect();
    letter.translate(128 - box.center().x(), 116 - box.center().y());
    p.setPen(QPen(QColor(12, 13, 15), size >= 32 ? 6 : 10));
    p.setBrush(chrome(40, 192));
    p.drawPath(letter);
    p.setPen(Qt::NoPen);
    p.setBrush(kLogoBlue);
    p.drawRoundedRect(QRectF(44, 204, 168, 16), 6, 6);
    return image;
}

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: zandorium-artwork <resources folder>\n");
        return 2;
    }
    const QDir out(arguments.at(1));
    const QString pictures = QStringLiteral("FileVari");
    const QString icons = QStringLiteral("icons");
    if (!out.mkpath(pictures) || !out.mkpath(icons)) {
        std::fprintf(stderr, "cannot create folders in %s\n", qPrintable(out.path()));
        return 1;
    }
    // Pictures a window shows at their own size also come at double size, for
    // screens that Qt scales by two.
    using Painter = std::function<QImage(qreal)>;
    const std::tuple<const char*, Painter, bool> paintings[] = {
        {"ZANDORIUMLAYOUT", panel, true},
        {"LEDbluON", [](qreal scale) { return led(true, scale); }, false},
        {"LEDbluOFF", [](qreal scale) { return led(false, scale); }, false},
        {"OnSwt60x60", [](qreal scale) { return footSwitch(QColor(60, 160, 255), true, scale); }, true},
        {"OffSwt60x60", [](qreal scale) { return footSwitch(QColor(), false, scale); }, true},
        {"OnSwtRosso60x60", [](qreal scale) { return footSwitch(QColor(240, 40, 36), true, scale); }, true},
        {"BarraMetallo", metalBar, true},
        {"Exit", exitIcon, true},
        {"fatto", doneBadge, true},
        {"Logo", logo, false},
    };
    bool written = true;
    for (const auto& [name, paint, doubled] : paintings) {
        const QString base = pictures + QLatin1Char('/') + QString::fromLatin1(name);
        written = written && save(paint(1), out.filePath(base + QStringLiteral(".png")));
        if (doubled)
            written = written && save(paint(2), out.filePath(base + QStringLiteral("@2x.png")));
    }
    for (const int size : kIconSizes)
        written = written && save(appIcon(size), out.filePath(QStringLiteral("%1/%2.png").arg(icons).arg(size)));
    return written ? 0 : 1;
}
