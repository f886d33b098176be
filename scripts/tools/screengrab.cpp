// Saves the whole screen of the current display as a PNG: what an operator in front of it sees,
// every window included (the screenshot script uses it for dialogs, which are windows of their own).
// Usage: screengrab <out.png> [x y width height]   (a part of the screen, in pixels)
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screengrab <out.png> [x y width height]\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    const QString out = QString::fromLocal8Bit(argv[1]);
    int area[4] = {0, 0, -1, -1};
    for (int i = 0; i < 4 && i + 2 < argc; ++i)
        area[i] = QString::fromLocal8Bit(argv[i + 2]).toInt();
    const QString part = out + QStringLiteral(".part");
    // written under another name first, so a reader never sees half a picture
    if (!screen->grabWindow(0, area[0], area[1], area[2], area[3]).save(part, "PNG"))
        return 1;
    return std::rename(part.toLocal8Bit().constData(), out.toLocal8Bit().constData()) == 0 ? 0 : 1;
}
