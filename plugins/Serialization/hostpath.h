#pragma once
#include <QString>

namespace orvane {

// Turns what a document passes as a path into a local file path: a plain path or a file: URL
// (also "file:///" + an absolute path, which begins with four slashes) name the same file.
// A relative path is taken relative to `base` (the application-data directory), so the program
// behaves the same from any working directory.
QString localPath(const QString &path, const QString &base);

} // namespace orvane
