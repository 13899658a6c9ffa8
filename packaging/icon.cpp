// trackwarden-icon OUTDIR: writes the program's icon for the desktops, laid
// out as the hicolor theme keeps it (hicolor/scalable/apps/trackwarden.svg,
// hicolor/NxN/apps/trackwarden.png for every size the packages carry), and
// trackwarden.ico for the Windows programs. Needs no display: it only paints
// into images.
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
    const QString Scalable = QStringLiteral("hicolor/scalable/apps");
    if (!QDir().mkpath(Out.filePath(Scalable)) ||
        !WriteFile(Out.filePath(Scalable + QStringLiteral("/trackwarden.svg")), IconSvg().toUtf8()))
        return 1;
    for (int Size : IconSizes()) {
        const QString Folder = QStringLiteral("hicolor/%1x%1/apps").arg(Size);
        if (!QDir().mkpath(Out.filePath(Folder)) ||
            !DrawIcon(Size).save(Out.filePath(Folder + QStringLiteral("/trackwarden.png"))))
            return 1;
    }
    // Last: the build takes it as the sign that the icon is drawn.
    return WriteFile(Out.filePath(QStringLiteral("trackwarden.ico")), IconIco()) ? 0 : 1;
}
