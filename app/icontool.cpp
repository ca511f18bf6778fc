// Writes the program's icons as PNG files for installation:
//   zarvel-icons FOLDER
// gives FOLDER/SIZE/apps/zarvel.png and FOLDER/SIZE/mimetypes/application-x-ldraw.png,
// application-x-multi-part-ldraw.png for the sizes of the hicolor theme.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "resources.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zarvel-icons FOLDER\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QDir root(QFile::decodeName(argv[1]));
    struct Icon {
        const char* folder;
        const char* name;
        int position;
    };
    const Icon icons[] = {{"apps", "zarvel", 0},
                          {"mimetypes", "application-x-ldraw", 6},
                          {"mimetypes", "application-x-multi-part-ldraw", 7}};
    for (int pixels : {16, 24, 32, 48, 64, 128, 256}) {
        const QString size = QStringLiteral("%1x%1").arg(pixels);
        for (const Icon& icon : icons) {
            const QString folder = size + '/' + QString::fromLatin1(icon.folder);
            if (!root.mkpath(folder)) return 1;
            const QString path = root.filePath(folder + '/' + icon.name + ".png");
            if (!app::IconPixmap(icon.position, pixels).save(path, "PNG")) return 1;
        }
    }
    return 0;
}
