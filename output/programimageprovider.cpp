#include "programimageprovider.h"

#include "programoutput.h"

ProgramImageProvider::ProgramImageProvider(ProgramOutput *output)
    : QQuickImageProvider(QQuickImageProvider::Image), m_output(output)
{
}

QImage ProgramImageProvider::requestImage(const QString &, QSize *size, const QSize &)
{
    QImage image = m_output ? m_output->viewImage() : QImage();
    if (image.isNull()) {
        // before the first frame: one transparent pixel, shown black like every transparent area
        image = QImage(1, 1, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::transparent);
    }
    if (size)
        *size = image.size();
    return image;
}
