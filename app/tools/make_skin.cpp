// kinolite-make-skin: draws the desktop program's button faces (bitmaps 135 to 165) and
// its icon (128) into PNG files. scripts/make-skin runs it and writes app/res/.
//
//   kinolite-make-skin OUTDIR      writes OUTDIR/skin/<id>.png and OUTDIR/icons/128.png

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

#include "res/resource.h"

namespace {

// The dialogs' background, baked into the faces: they are copied onto the buttons as they
// are.
const QColor kDialogBackground(0xef, 0xef, 0xef);
const char kCaptionFamily[] = "WenQuanYi Micro Hei";

constexpr QSize kButtonSize(87, 28);
constexpr QSize kPlaceholderSize(32, 24);
constexpr QSize kConvertSize(100, 100);
constexpr QSize kBrowseSize(60, 24);
constexpr int kIconSize = 48;
constexpr qreal kCornerRadius = 5.0;

enum Face { Normal, Hover, Pressed, Disabled };

struct Palette {
    QColor top, bottom, border, text;
};

Palette blueFace(Face f) {
    switch (f) {
        case Normal:
            return {QColor(0x5b, 0x8f, 0xd0), QColor(0x2f, 0x66, 0xad), QColor(0x23, 0x50, 0x8a),
                    Qt::white};
        case Hover:
            return {QColor(0x86, 0xb4, 0xec), QColor(0x4a, 0x82, 0xc9), QColor(0x2f, 0x66, 0xad),
                    Qt::white};
        case Pressed:
            return {QColor(0x24, 0x52, 0x8e), QColor(0x3e, 0x74, 0xb8), QColor(0x1b, 0x43, 0x72),
                    QColor(0xe8, 0xf0, 0xff)};
        case Disabled:
            break;
    }
    return {QColor(0xe2, 0xe2, 0xe2), QColor(0xc8, 0xc8, 0xc8), QColor(0xa8, 0xa8, 0xa8),
            QColor(0x8a, 0x8a, 0x8a)};
}

Palette greenFace(Face f) {
    switch (f) {
        case Normal:
            return {QColor(0x4c, 0xbf, 0x68), QColor(0x23, 0x80, 0x3b), QColor(0x1a, 0x63, 0x2d),
                    Qt::white};
        case Hover:
            return {QColor(0x74, 0xd9, 0x8c), QColor(0x36, 0x9c, 0x50), QColor(0x23, 0x80, 0x3b),
                    Qt::white};
        case Pressed:
            return {QColor(0x1c, 0x6b, 0x31), QColor(0x32, 0x96, 0x4c), QColor(0x14, 0x4f, 0x24),
                    QColor(0xe8, 0xff, 0xee)};
        case Disabled:
            break;
    }
    return blueFace(Disabled);
}

QFont captionFont(int pixelSize) {
    QFont f(QString::fromUtf8(kCaptionFamily));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage blankFace(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kDialogBackground);
    return image;
}

void drawCaption(QPainter& p, const QRectF& area, const QString& caption, const Palette& c, Face f,
                 int pixelSize) {
    p.setFont(captionFont(pixelSize));
    QRectF r = area.translated(f == Pressed ? 1 : 0, f == Pressed ? 1 : 0);
    if (f != Disabled) {
        p.setPen(QColor(0, 0, 0, 70));
        p.drawText(r.translated(0, 1), Qt::AlignCenter, caption);
    }
    p.setPen(c.text);
    p.drawText(r, Qt::AlignCenter, caption);
}

QImage roundedFace(QSize size, const QString& caption, const Palette& c, Face f, int pixelSize) {
    QImage image = blankFace(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF body = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, c.top);
    g.setColorAt(1, c.bottom);
    p.setPen(QPen(c.border, 1));
    p.setBrush(g);
    p.drawRoundedRect(body, kCornerRadius, kCornerRadius);
    if (f != Pressed && f != Disabled) {  // a highlight along the top edge
        p.setPen(QPen(QColor(255, 255, 255, 90), 1));
        p.drawLine(QPointF(body.left() + kCornerRadius, body.top() + 1.5),
                   QPointF(body.right() - kCornerRadius, body.top() + 1.5));
    }
    drawCaption(p, body, caption, c, f, pixelSize);
    return image;
}

QImage placeholderFace(QSize size) {
    QImage image = blankFace(size);
    QPainter p(&image);
    p.setPen(QColor(0xa8, 0xa8, 0xa8));
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    p.drawRect(QRect(QPoint(0, 0), size).adjusted(0, 0, -1, -1));
    return image;
}

QImage roundFace(QSize size, const QString& caption, const Palette& c, Face f) {
    QImage image = blankFace(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF disc = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(3, 3, -3, -3);
    // A ring around the disc.
    p.setPen(Qt::NoPen);
    p.setBrush(f == Disabled ? QColor(0xd6, 0xd6, 0xd6) : QColor(0xd0, 0xdc, 0xd3));
    p.drawEllipse(disc.adjusted(-2, -2, 2, 2));
    QRadialGradient g(disc.center() - QPointF(0, disc.height() / 4), disc.width() * 0.75);
    g.setColorAt(0, c.top);
    g.setColorAt(1, c.bottom);
    p.setPen(QPen(c.border, 1.5));
    p.setBrush(g);
    p.drawEllipse(disc);
    // A play triangle above the caption.
    qreal dx = f == Pressed ? 1 : 0;
    QPointF apex = disc.center() + QPointF(10 + dx, -14 + dx);
    QPainterPath triangle;
    triangle.moveTo(apex);
    triangle.lineTo(apex + QPointF(-18, -10));
    triangle.lineTo(apex + QPointF(-18, 10));
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c.text);
    p.drawPath(triangle);
    drawCaption(p, disc.adjusted(0, 36, 0, -8), caption, c, f, 20);
    return image;
}

QImage programIcon() {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A film strip behind a handset.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x3a, 0x3a));
    p.drawRoundedRect(QRectF(2, 8, 30, 32), 3, 3);
    p.setBrush(QColor(0xef, 0xef, 0xef));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(5, 11 + i * 7.5, 4, 4));
        p.drawRect(QRectF(25, 11 + i * 7.5, 4, 4));
    }
    QLinearGradient body(QPointF(22, 2), QPointF(46, 46));
    body.setColorAt(0, QColor(0x5b, 0x8f, 0xd0));
    body.setColorAt(1, QColor(0x23, 0x50, 0x8a));
    p.setBrush(body);
    p.setPen(QPen(QColor(0x1b, 0x43, 0x72), 1));
    p.drawRoundedRect(QRectF(20.5, 2.5, 25, 43), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xf8, 0xff));
    p.drawRect(QRectF(23.5, 8, 19, 24));
    QPainterPath play;
    play.moveTo(38, 20);
    play.lineTo(29.5, 15);
    play.lineTo(29.5, 25);
    play.closeSubpath();
    p.setBrush(QColor(0x23, 0x80, 0x3b));
    p.drawPath(play);
    p.setBrush(QColor(0xdd, 0xe6, 0xf5));
    p.drawEllipse(QRectF(30, 35.5, 6, 6));
    return image;
}

// The fourth face of a button: its own disabled face, a placeholder (the button is never
// disabled), or none (the dialogs give the normal face as the disabled one).
enum class DisabledFace { Own, Placeholder, None };

struct ButtonSkin {
    int firstId;
    const char* caption;
    QSize size;
    int pixelSize;
    DisabledFace disabled;
};

constexpr ButtonSkin kSkins[] = {
    {IDB_ADD, "添加", kButtonSize, 14, DisabledFace::Placeholder},
    {IDB_EDIT, "编辑", kButtonSize, 14, DisabledFace::Own},
    {IDB_DELETE, "删除", kButtonSize, 14, DisabledFace::Own},
    {IDB_ABOUT, "关于", kButtonSize, 14, DisabledFace::Placeholder},
    {IDB_OK, "确定", kButtonSize, 14, DisabledFace::None},
    {IDB_CANCEL, "取消", kButtonSize, 14, DisabledFace::None},
    {IDB_BROWSE, "浏览", kBrowseSize, 13, DisabledFace::None},
};

bool save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "kinolite-make-skin: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kinolite-make-skin OUTDIR\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath("skin");
    out.mkpath("icons");
    bool ok = true;
    auto face = [&](int id, const QImage& image) {
        ok = save(image, out.filePath(QStringLiteral("skin/%1.png").arg(id))) && ok;
    };
    for (const ButtonSkin& s : kSkins) {
        QString caption = QString::fromUtf8(s.caption);
        for (Face f : {Normal, Hover, Pressed})
            face(s.firstId + f, roundedFace(s.size, caption, blueFace(f), f, s.pixelSize));
        if (s.disabled == DisabledFace::Placeholder)
            face(s.firstId + Disabled, placeholderFace(kPlaceholderSize));
        else if (s.disabled == DisabledFace::Own)
            face(s.firstId + Disabled,
                 roundedFace(s.size, caption, blueFace(Disabled), Disabled, s.pixelSize));
    }
    QString convert = QString::fromUtf8("转换");
    for (Face f : {Normal, Hover, Pressed, Disabled})
        face(IDB_CONVERT + f, roundFace(kConvertSize, convert, greenFace(f), f));
    ok = save(programIcon(), out.filePath(QStringLiteral("icons/%1.png").arg(IDR_MAINFRAME))) && ok;
    return ok ? 0 : 1;
}
