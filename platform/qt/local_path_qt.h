// File-system paths between Qt and the program. Qt decodes file names into
// QStrings, and a byte that is not text in the locale's charset becomes
// U+FFFD there: encoding such a QString back names another file. The
// program's wide paths keep those bytes (platform/text.h); these functions
// find them again and carry them through Qt.
#pragma once

#include <QString>
#include <optional>
#include <string>

class QUrl;

namespace platform {

// The wide path of what a path Qt decoded from the file system names (a
// file dialog's choice, a typed path): QFile::encodeName's bytes when they
// name something, else each part as the one entry of its folder that Qt
// decodes to it. A part that no entry or several match stays as
// encodeName gives it (a folder still to be made, or one the name cannot
// tell apart).
std::wstring LocalPath(const QString& decoded);

// The wide path of a file: URL (what a file manager drops, what a file
// dialog chooses), from its percent-encoded bytes; when those name nothing
// (a URL made from a decoded name), found again as LocalPath(QString)
// finds it. Nothing for any other URL.
std::optional<std::wstring> LocalPath(const QUrl& url);

// A wide path in a QString and back, its escaped bytes kept as lone
// surrogates (QString::toStdWString would turn them into U+FFFD): for
// item data and the paths handed to a running instance.
QString PathToQString(const std::wstring& path);
std::wstring PathFromQString(const QString& text);

// Text for people: each escaped byte shown as U+FFFD.
QString ShownText(const std::wstring& text);

} // namespace platform
