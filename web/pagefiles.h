#pragma once
// The web page's files: which file of the page's folder an HTTP request target names, if any.
// Nothing outside the folder is ever named: not through "..", encoded or not, absolute paths,
// backslashes, hidden files, nor symbolic links that lead out of it.
#include <QByteArray>
#include <QString>

class PageFiles
{
public:
    explicit PageFiles(const QString &folder);

    // the folder as found on disk (links resolved); empty when it does not exist
    QString folder() const { return m_folder; }
    // The regular file that `target` (the request target of the HTTP request line, such as
    // "/page.js?v=2") names, as an absolute path; empty for anything else. "/" is index.html.
    QString resolve(const QByteArray &target) const;
    // The Content-Type for a file of the page, from its extension.
    static QByteArray contentType(const QString &path);

private:
    QString m_folder;
};
