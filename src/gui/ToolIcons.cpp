#include "gui/ToolIcons.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>
#include <QStringList>
#include <QString>

#include <cstring>

#include "storage/TMTC.h"

// The icons' resource lives in a static library: nothing would pull it in.
static void LoadIconResource()
{
    Q_INIT_RESOURCE(icons);
}

namespace morvane {

void UseToolIconTheme()
{
    static const bool loaded = (LoadIconResource(), true);
    (void)loaded;
    if (QIcon::themeName() == QStringLiteral("breeze"))
        return;
    // Without a desktop's platform theme (offscreen, a bare X server) Qt
    // looks for themes in its resources only.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory))
        if (!paths.contains(folder))
            paths << folder;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(QStringLiteral("breeze"));
}

QIcon ToolIcon(const char* name)
{
    if (!name || !*name)
        return {};
    const QString key = QString::fromUtf8(name);
    UseToolIconTheme();
    if (std::strncmp(name, "morvane-", 8) == 0) {
        const QString path = QStringLiteral(":/icons/%1.svg").arg(key);
        return QFile::exists(path) ? QIcon(path) : QIcon();
    }
    return QIcon::fromTheme(key);
}

QIcon PictureIcon(const TMTC& picture)
{
    if (!picture.IsValid())
        return {};
    // Format_ARGB32 has the blue, green, red, alpha bytes of a Pixel.
    QImage image(picture.Width, picture.Height, QImage::Format_ARGB32);
    for (int32_t y = 0; y < picture.Height; ++y)
        std::memcpy(image.scanLine(y), picture.Row(y), size_t(picture.Width) * 4);
    return QIcon(QPixmap::fromImage(image));
}

} // namespace morvane
