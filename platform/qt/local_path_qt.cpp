#include "platform/qt/local_path_qt.h"

#include "platform/text.h"

#include <QFile>
#include <QStringList>
#include <QUrl>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace platform {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The name in `folder` that Qt shows as `part`: its own encoding when that
// exists, else the one entry that decodes to it.
std::optional<std::string> EntryShownAs(const std::string& folder, const QString& part) {
    const std::string encoded = QFile::encodeName(part).toStdString();
    if (Exists(folder + "/" + encoded))
        return encoded;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(listing.get())) {
        if (QFile::decodeName(entry->d_name) != part)
            continue;
        if (found)
            return std::nullopt; // two names show alike: neither is surely meant
        found = entry->d_name;
    }
    return found;
}

} // namespace

std::wstring LocalPath(const QString& decoded) {
    const QByteArray direct = QFile::encodeName(decoded);
    if (direct.isEmpty() || Exists(direct.toStdString()))
        return DecodeLocal(direct.toStdString());
    const bool absolute = decoded.startsWith(u'/');
    std::string bytes = absolute ? "/" : "";
    bool resolving = true; // `bytes` names a folder that exists so far
    for (const QString& part : decoded.split(u'/', Qt::SkipEmptyParts)) {
        std::optional<std::string> name;
        if (resolving)
            name = EntryShownAs(bytes.empty() ? "." : bytes, part);
        resolving = name.has_value();
        if (!bytes.empty() && bytes.back() != '/')
            bytes += '/';
        bytes += name.value_or(QFile::encodeName(part).toStdString());
    }
    return DecodeLocal(bytes);
}

std::optional<std::wstring> LocalPath(const QUrl& url) {
    if (!url.isLocalFile())
        return std::nullopt;
    // Fully encoded, the path is ASCII with every other byte as %XX.
    const std::string bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    if (bytes.empty() || Exists(bytes))
        return DecodeLocal(bytes);
    return LocalPath(url.toLocalFile());
}

QString PathToQString(const std::wstring& path) {
    return QString::fromStdWString(path);
}

std::wstring PathFromQString(const QString& text) {
    std::wstring path;
    path.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            path += static_cast<wchar_t>(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            path += static_cast<wchar_t>(c.unicode());
        }
    }
    return path;
}

QString ShownText(const std::wstring& text) {
    std::wstring shown = text;
    for (wchar_t& c : shown)
        if (IsEscapedByte(c))
            c = 0xFFFD;
    return QString::fromStdWString(shown);
}

} // namespace platform
