// trackwarden-icon OUTDIR: writes the program's icon as trackwarden.svg,
// trackwarden-N.png for every size the packages carry and trackwarden.ico
// for the Windows programs. Needs no display: it only paints into images.
#include "UIcon.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

namespace {

bool WriteFile(const QString &Path, const QByteArray &Bytes)
{
    QFile File(Path);
    return File.open(QIODevice::WriteOnly) && File.write(Bytes) == Bytes.size() && File.flush();
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
    if (!WriteFile(Out.filePath(QStringLiteral("trackwarden.svg")), IconSvg().toUtf8()) ||
        !WriteFile(Out.filePath(QStringLiteral("trackwarden.ico")), IconIco()))
        return 1;
    for (int Size : IconSizes())
        if (!DrawIcon(Size).save(Out.filePath(QStringLiteral("trackwarden-%1.png").arg(Size))))
            return 1;
    return 0;
}
