#include "UIcon.h"

#include <QBuffer>
#include <QColor>
#include <QPainter>
#include <QPolygonF>
#include <QtEndian>

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

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

void Put16(QByteArray &Out, int Value)
{
    char Bytes[2];
    qToLittleEndian<quint16>(static_cast<quint16>(Value), Bytes);
    Out.append(Bytes, 2);
}

void Put32(QByteArray &Out, quint32 Value)
{
    char Bytes[4];
    qToLittleEndian<quint32>(Value, Bytes);
    Out.append(Bytes, 4);
}

// An icon image as Windows keeps it: a bitmap header with twice the height,
// the colour rows bottom up, then an all-zero AND mask (the alpha decides).
QByteArray DibEntry(const QImage &Image)
{
    const QImage Argb = Image.convertToFormat(QImage::Format_ARGB32);
    const int Size = Argb.width();
    const int MaskStride = ((Size + 31) / 32) * 4;
    QByteArray Out;
    Put32(Out, 40);
    Put32(Out, static_cast<quint32>(Size));
    Put32(Out, static_cast<quint32>(2 * Size));
    Put16(Out, 1);
    Put16(Out, 32);
    Put32(Out, 0); // BI_RGB
    Put32(Out, static_cast<quint32>(Size * Size * 4 + MaskStride * Size));
    for (int I = 0; I < 4; ++I)
        Put32(Out, 0);
    for (int Y = Size - 1; Y >= 0; --Y) {
        const auto *Row = reinterpret_cast<const QRgb *>(Argb.constScanLine(Y));
        for (int X = 0; X < Size; ++X)
            Put32(Out, Row[X]); // 0xAARRGGBB is B G R A in little-endian order
    }
    Out.append(QByteArray(MaskStride * Size, '\0'));
    return Out;
}

QByteArray PngEntry(const QImage &Image)
{
    QByteArray Out;
    QBuffer Buffer(&Out);
    Buffer.open(QIODevice::WriteOnly);
    Image.save(&Buffer, "PNG");
    return Out;
}

} // namespace

std::span<const int> IconSizes()
{
    return Sizes;
}

QImage DrawIcon(int Size)
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

QString IconSvg()
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

QByteArray IconIco()
{
    std::vector<QByteArray> Images;
    for (int Size : Sizes)
        Images.push_back(Size >= 256 ? PngEntry(DrawIcon(Size)) : DibEntry(DrawIcon(Size)));
    QByteArray Out;
    Put16(Out, 0);
    Put16(Out, 1); // an icon, not a cursor
    Put16(Out, static_cast<int>(Images.size()));
    quint32 Offset = 6 + 16 * static_cast<quint32>(Images.size());
    for (size_t I = 0; I < Images.size(); ++I) {
        const int Size = Sizes[I];
        Out.append(static_cast<char>(Size >= 256 ? 0 : Size)); // 0 stands for 256
        Out.append(static_cast<char>(Size >= 256 ? 0 : Size));
        Out.append('\0'); // no palette
        Out.append('\0');
        Put16(Out, 1);
        Put16(Out, 32);
        Put32(Out, static_cast<quint32>(Images[I].size()));
        Put32(Out, Offset);
        Offset += static_cast<quint32>(Images[I].size());
    }
    for (const QByteArray &Image : Images)
        Out.append(Image);
    return Out;
}

QIcon ProgramIcon()
{
    QIcon Icon;
    for (int Size : Sizes)
        Icon.addPixmap(QPixmap::fromImage(DrawIcon(Size)));
    return Icon;
}
