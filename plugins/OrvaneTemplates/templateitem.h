#pragma once
#include <QPointer>
#include <QQuickItem>
#include <QSet>
#include <QTimer>
#include <QQmlContext>
#include <QUrl>
#include <QVariantMap>
#include <memory>

class QQmlComponent;
class TemplateIncubator;

// A template loaded as a layer's content: a QML document whose root is an Item, compiled and
// created without holding the window's thread (the compiled document is kept for the next Cue),
// its fields set from the scene's data before it is shown, and its play(), stop()/stopped(),
// next(trigger) and update(data) called for the layer's commands. Every part of that is optional
// for the template.
class TemplateItem : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QUrl source READ source NOTIFY statusChanged)
    Q_PROPERTY(QString errorString READ errorString NOTIFY statusChanged)
    Q_PROPERTY(QVariant triggers READ triggers NOTIFY statusChanged)
    Q_PROPERTY(QQuickItem *content READ content NOTIFY statusChanged)

public:
    enum Status { Null, Loading, Ready, Error };
    Q_ENUM(Status)

    explicit TemplateItem(QQuickItem *parent = nullptr);
    ~TemplateItem() override;

    Status status() const { return m_status; }
    QUrl source() const { return m_source; }
    QString errorString() const { return m_errorString; }
    QVariant triggers() const;
    QQuickItem *content() const { return m_content; }

    // Loads `url` with the data `fields` (name -> value) of scene `scene`; Ready or Error follows.
    // URL fields resolve against `base` (a folder URL; the template's own folder when empty).
    Q_INVOKABLE void load(const QUrl &url, const QVariant &fields, const QString &scene, const QUrl &base = QUrl());
    // Drops the template (and any load in progress).
    Q_INVOKABLE void clear();
    // New data for the loaded template: its update(data), else field by field. False without one.
    Q_INVOKABLE bool takeData(const QVariant &fields);
    Q_INVOKABLE bool play();
    // Calls the template's stop(); true when it has one: stopped() then follows the template's
    // own stopped(), or `limitMs` at the latest.
    Q_INVOKABLE bool stop(int limitMs);
    Q_INVOKABLE bool next(const QString &trigger);

signals:
    void statusChanged();
    void stopped();
    // a numbered Warning for the operator
    void warning(const QString &message);
    void trace(const QString &line);

private slots:
    // the template's stopped(), or the limit
    void finishStop();

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    friend class TemplateIncubator;

    void componentReady(QQmlComponent *component, int serial);
    void initialState(QObject *object);
    void incubated(QObject *object, const QList<QQmlError> &errors, int serial);
    void fail(const QList<QQmlError> &errors);
    void setStatus(Status status);
    void applyFields(QObject *root, const QVariantMap &fields);
    bool call(const char *signature, const QVariant &argument = QVariant(), bool withArgument = false);
    void ensureIncubation();

    Status m_status = Null;
    QUrl m_source;
    QString m_errorString;
    QString m_scene;
    QUrl m_base;
    QPointer<QQmlContext> m_context;
    QVariantMap m_fields;
    QSet<QString> m_unknownTraced; // fields the template lacks, traced once per load
    QPointer<QQuickItem> m_content;
    std::unique_ptr<TemplateIncubator> m_incubator;
    int m_serial = 0; // each load's number: answers for an older load are dropped
    bool m_stopping = false;
    QTimer m_stopLimit;
};
