#pragma once
// image://program/<frame number>: the latest frame of the program output, for the clean feed
// windows. The number only makes each frame a new address; every request gets the latest frame.
#include <QPointer>
#include <QQuickImageProvider>

class ProgramOutput;

class ProgramImageProvider : public QQuickImageProvider
{
public:
    explicit ProgramImageProvider(ProgramOutput *output);
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

private:
    QPointer<ProgramOutput> m_output;
};
