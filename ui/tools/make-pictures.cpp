// Draws the wizard's pictures of this edition and writes them as PNG files, so
// that the committed pictures can be remade or restyled from code:
//
//   build-ui/bin/vx_make_pictures ui/resources
//
// Runs without a display (it only paints into images).
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

const QColor kAmber(255, 199, 9);
const QColor kInk(22, 24, 30);

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The frames' dark ground: a soft vertical gradient, a fan of fine lines on the
// left that fades towards the centre, and the company mark at the bottom right.
QImage Background() {
    QImage image = NewImage(600, 250);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, 250);
    ground.setColorAt(0, QColor(30, 33, 41));
    ground.setColorAt(1, QColor(17, 19, 24));
    p.fillRect(image.rect(), ground);

    for (int i = 0; i < 26; ++i) {
        QColor line = kAmber;
        line.setAlpha(34 - i);
        p.setPen(QPen(line, 1.0));
        QPainterPath path;
        const double y0 = -40 + i * 13.0;
        path.moveTo(-10, y0);
        path.cubicTo(70, y0 + 40, 120, y0 + 120 - i * 3, 210 - i * 3, 260);
        p.drawPath(path);
    }
    QRadialGradient glow(0, 250, 260);
    glow.setColorAt(0, QColor(255, 199, 9, 26));
    glow.setColorAt(1, QColor(255, 199, 9, 0));
    p.fillRect(image.rect(), glow);

    // Company mark: a small amber ring with a notch, and the name beside it.
    const QPointF centre(508, 229);
    p.setPen(QPen(QColor(255, 199, 9, 170), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(centre.x() - 6, centre.y() - 6, 12, 12), 40 * 16, 280 * 16);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawText(QRectF(520, 220, 76, 18), Qt::AlignLeft | Qt::AlignVCenter, "CORVANE");
    return image;
}

// The product logo: an amber wave mark and the product's name.
QImage Logo() {
    QImage image = NewImage(149, 38);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath wave;
    wave.moveTo(3, 27);
    wave.cubicTo(10, 8, 18, 8, 22, 19);
    wave.cubicTo(26, 30, 33, 30, 37, 11);
    p.setPen(QPen(kAmber, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wave);
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(37, 11), 3.2, 3.2);

    QFont font("DejaVu Sans");
    font.setPixelSize(19);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(45, 0, 104, 38), Qt::AlignLeft | Qt::AlignVCenter, "Orla");
    const int orlaWidth = QFontMetrics(font).horizontalAdvance("Orla ");
    font.setBold(false);
    p.setFont(font);
    p.setPen(kAmber);
    p.drawText(QRectF(45 + orlaWidth, 0, 104 - orlaWidth, 38), Qt::AlignLeft | Qt::AlignVCenter, "Desk");
    return image;
}

// A white exclamation mark on a red rounded square.
QImage Alert() {
    QImage image = NewImage(40, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(214, 48, 49));
    p.drawRoundedRect(QRectF(2, 0, 36, 36), 7, 7);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(17.5, 6, 5, 16), 2.5, 2.5);
    p.drawEllipse(QPointF(20, 28), 3, 3);
    return image;
}

// The close picture: a white cross, on a transparent, red or darker red square.
QImage Close(const QColor& ground) {
    QImage image = NewImage(30, 30);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (ground.alpha() != 0) p.fillRect(image.rect(), ground);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(19.5, 19.5));
    p.drawLine(QPointF(19.5, 10.5), QPointF(10.5, 19.5));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const std::pair<const char*, std::function<QImage()>> pictures[] = {
        {"imgBackground", Background},
        {"imgLines", [] { return NewImage(1, 1); }},
        {"imgLogo", Logo},
        {"imgAlert", Alert},
        {"imgClose", [] { return Close(Qt::transparent); }},
        {"imgCloseOnOver", [] { return Close(QColor(232, 17, 35)); }},
        {"imgCloseOnClick", [] { return Close(QColor(160, 12, 24)); }},
    };
    for (const auto& [name, draw] : pictures) {
        const QString path = folder + "/" + name + ".png";
        if (!draw().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
