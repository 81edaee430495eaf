#include "openrequest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <climits>
#include <unistd.h>
#endif

namespace OpenRequest {

namespace {

// The current folder's bytes; a folder whose name is not valid text is kept as it is.
QByteArray CurrentFolder()
{
#ifdef Q_OS_UNIX
    QByteArray folder(PATH_MAX, '\0');
    if (::getcwd(folder.data(), size_t(folder.size())))
        return QByteArray(folder.constData());
#endif
    return QFile::encodeName(QDir::currentPath());
}

// A dropped local file's name as the system spells it. The address carries the name's bytes
// percent-encoded, so a name that is not valid UTF-8 survives; the decoded text would not.
FilePath LocalName(const QUrl& url)
{
#ifdef Q_OS_UNIX
    return FilePath::FromNative(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
#else
    return FilePath::FromText(url.toLocalFile());
#endif
}

} // namespace

FilePath AbsoluteFilePath(const QByteArray& native)
{
    if (native.isEmpty() || QDir::isAbsolutePath(QFile::decodeName(native)))
        return FilePath::FromNative(native);
    QByteArray relative = native;
    while (relative.startsWith("./"))
        relative.remove(0, 2);
    QByteArray folder = CurrentFolder();
    if (!folder.endsWith('/'))
        folder += '/';
    return FilePath::FromNative(folder + relative);
}

QList<QByteArray> NativeArguments(const QStringList& positional, int argc, const char* const* argv)
{
    QList<QByteArray> native;
    int next = 1; // argv[0] is the program
    for (const QString& text : positional) {
        int i = next;
        while (i < argc && QString::fromLocal8Bit(argv[i]) != text)
            ++i;
        if (i < argc) {
            native << QByteArray(argv[i]);
            next = i + 1;
        } else {
            native << QFile::encodeName(text);
        }
    }
    return native;
}

bool NamedLikeTemplate(const FilePath& path)
{
    const QByteArray& native = path.Native();
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1).toLower();
    if (name.contains("template") || name.contains("english"))
        return true;
    for (qsizetype at = name.indexOf("-en"); at >= 0; at = name.indexOf("-en", at + 1)) {
        const qsizetype after = at + 3;
        // Bytes past ASCII count as letters: they spell a longer word in some encoding.
        const uchar c = after < name.size() ? uchar(name.at(after)) : 0;
        if (!((c >= 'a' && c <= 'z') || c >= 0x80))
            return true;
    }
    return false;
}

std::optional<FilePair> DroppedFiles(const QList<QUrl>& urls)
{
    if (urls.isEmpty() || urls.size() > 2)
        return std::nullopt;
    QList<FilePath> files;
    for (const QUrl& url : urls) {
        // A file on another host is no local file, whatever the address says.
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == u"localhost"))
            return std::nullopt;
        const FilePath path = LocalName(url);
        if (path.IsEmpty() || QFileInfo(path.Display()).isDir())
            return std::nullopt;
        files << path;
    }
    if (files.size() == 1)
        return FilePair{files[0], FilePath()};
    if (NamedLikeTemplate(files[1]) && !NamedLikeTemplate(files[0]))
        return FilePair{files[1], files[0]};
    return FilePair{files[0], files[1]};
}

} // namespace OpenRequest
