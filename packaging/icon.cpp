// trackwarden-icon OUTDIR: writes the program's icon as trackwarden.svg and
// as trackwarden-N.png for every size in Sizes, both from one list of shapes
// on a 256-unit square: a location pin on a rounded tile.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

enum class TKind { Tile, Circle, Triangle };

struct TShape {
    TKind Kind;
    const char *Colour;
    std::vector<double> P; // Tile: x y w h radius; Circle: cx cy r; Triangle: x1 y1 x2 y2 x3 y3
};

// The pin's sides touch its head: tangents from the tip (128,212) to the
// circle of radius 56 about (128,104).
const std::vector<TShape> Shapes = {
    {TKind::Tile, "#1f5f7a", {8, 8, 240, 240, 44}},
    {TKind::Circle, "#f2f2f2", {128, 104, 56}},
    {TKind::Triangle, "#f2f2f2", {80.1, 133.0, 175.9, 133.0, 128, 214}},
    {TKind::Circle, "#1f5f7a", {128, 104, 22}},
    {TKind::Circle, "#e8a33d", {128, 104, 12}},
};

const int Sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString Svg()
{
    QString Out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                                 "viewBox=\"0 0 256 256\">\n");
    for (const TShape &S : Shapes) {
        const auto &P = S.P;
        switch (S.Kind) {
        case TKind::Tile:
            Out += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"/>\n")
                       .arg(P[0]).arg(P[1]).arg(P[2]).arg(P[3]).arg(P[4]).arg(S.Colour);
            break;
        case TKind::Circle:
            Out += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n")
                       .arg(P[0]).arg(P[1]).arg(P[2]).arg(S.Colour);
            break;
        case TKind::Triangle:
            Out += QStringLiteral("  <polygon points=\"%1,%2 %3,%4 %5,%6\" fill=\"%7\"/>\n")
                       .arg(P[0]).arg(P[1]).arg(P[2]).arg(P[3]).arg(P[4]).arg(P[5]).arg(S.Colour);
            break;
        }
    }
    return Out + QStringLiteral("</svg>\n");
}

QImage Png(int Size)
{
    QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    QPainter Painter(&Image);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.scale(Size / 256.0, Size / 256.0);
    Painter.setPen(Qt::NoPen);
    for (const TShape &S : Shapes) {
        const auto &P = S.P;
        Painter.setBrush(QColor(QString::fromLatin1(S.Colour)));
        switch (S.Kind) {
        case TKind::Tile:
            Painter.drawRoundedRect(QRectF(P[0], P[1], P[2], P[3]), P[4], P[4]);
            break;
        case TKind::Circle:
            Painter.drawEllipse(QPointF(P[0], P[1]), P[2], P[2]);
            break;
        case TKind::Triangle:
            Painter.drawPolygon(QPolygonF({QPointF(P[0], P[1]), QPointF(P[2], P[3]), QPointF(P[4], P[5])}));
            break;
        }
    }
    return Image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trackwarden-icon OUTDIR\n");
        return 2;
    }
    const QDir Out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(Out.path()))
        return 1;
    QFile SvgFile(Out.filePath(QStringLiteral("trackwarden.svg")));
    if (!SvgFile.open(QIODevice::WriteOnly) || SvgFile.write(Svg().toUtf8()) < 0)
        return 1;
    for (int Size : Sizes)
        if (!Png(Size).save(Out.filePath(QStringLiteral("trackwarden-%1.png").arg(Size))))
            return 1;
    return 0;
}
