#pragma once
// The videos folder whose files the media list offers to the layers. The window names the folder
// it was written for; a playout machine seldom has it, so the operator's own videos folder stands
// in, and --videos names any other. The choice is made once, at start-up.
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class VideoFolder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl option READ option CONSTANT)
    Q_PROPERTY(QString usersFolder READ usersFolder CONSTANT)

public:
    // option: the folder of --videos (empty without it); usersFolder: the user's own videos folder
    // (empty: the platform's, ~/Videos by default).
    explicit VideoFolder(const QUrl &option = QUrl(), const QString &usersFolder = QString(),
                         QObject *parent = nullptr);

    QUrl option() const { return m_option; }
    QString usersFolder() const { return m_usersFolder; }

    // The folder to read, given the window's own: --videos when given, else the window's folder
    // when it exists, else the user's videos folder. Returns {"folder": file: URL, "trace": the
    // line that names the folder and why it was chosen}. A missing folder is chosen all the same:
    // the media list then lists nothing.
    Q_INVOKABLE QVariantMap choose(const QUrl &windowFolder) const;

    // A path or file: URL as a file: URL naming a folder (with the trailing slash); an empty URL
    // for text that names no local folder (another scheme, empty text).
    static QUrl folderUrl(const QString &text);
    static bool isFolder(const QUrl &folder);

private:
    QUrl m_option;
    QString m_usersFolder;
};
