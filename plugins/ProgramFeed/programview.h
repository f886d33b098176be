#pragma once
// ProgramView: the program output's frame on air, scaled to fit the item (what lies outside the
// frame, and its transparent areas, show what is behind the item), or with `key` the frame's
// alpha as grey (opaque white, transparent black). Where the output shares its textures with this
// window's context the frame is drawn straight from the output's texture, never passing through
// main memory; otherwise from a copy, which the view asks for while it is on screen.
#include <QPointer>
#include <QQuickItem>

class ProgramViewSource;

class ProgramView : public QQuickItem
{
    Q_OBJECT
    // the ProgramOutput whose frames are shown; null shows nothing
    Q_PROPERTY(QObject *output READ output WRITE setOutput NOTIFY outputChanged)
    Q_PROPERTY(bool key READ key WRITE setKey NOTIFY keyChanged)

public:
    explicit ProgramView(QQuickItem *parent = nullptr);
    ~ProgramView() override;

    QObject *output() const { return m_output; }
    void setOutput(QObject *output);
    bool key() const { return m_key; }
    void setKey(bool key);

signals:
    void outputChanged();
    void keyChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void updateHold();

    QPointer<QObject> m_output;
    ProgramViewSource *m_source = nullptr; // m_output's interface
    bool m_key = false;
    bool m_holding = false; // holds the output's copies (while on screen)
    QMetaObject::Connection m_windowVisible;
};
