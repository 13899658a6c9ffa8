// The Windows icon file, read back by Qt's own .ico reader: every size the
// packages carry, each the icon as drawn.
#include "UIcon.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include <set>

namespace {

TEST(Icon, IcoHoldsEverySizeAsDrawn)
{
    QByteArray Ico = IconIco();
    QBuffer Buffer(&Ico);
    ASSERT_TRUE(Buffer.open(QIODevice::ReadOnly));
    QImageReader Reader(&Buffer, "ico");
    ASSERT_TRUE(Reader.canRead()) << Reader.errorString().toStdString();
    std::set<int> Seen;
    for (int I = 0; I < Reader.imageCount(); ++I) {
        ASSERT_TRUE(Reader.jumpToImage(I));
        const QImage Read = Reader.read();
        ASSERT_FALSE(Read.isNull()) << "image " << I << ": " << Reader.errorString().toStdString();
        ASSERT_EQ(Read.width(), Read.height());
        const int Size = Read.width();
        Seen.insert(Size);
        EXPECT_EQ(Read.convertToFormat(QImage::Format_ARGB32), DrawIcon(Size).convertToFormat(QImage::Format_ARGB32))
            << Size << " px";
    }
    EXPECT_EQ(Seen, std::set<int>(IconSizes().begin(), IconSizes().end()));
}

} // namespace
