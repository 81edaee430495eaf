#include "documentwatcher.h"

#include "phrasedocument.h"
#include "stringtable.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

DocumentWatcher::DocumentWatcher(PhraseDocument& doc, QObject* parent)
    : QObject(parent), m_doc(doc), m_watcher(new QFileSystemWatcher(this))
{
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &DocumentWatcher::Check);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DocumentWatcher::Check);
    connect(&m_doc, &PhraseDocument::FilesChanged, this, &DocumentWatcher::Check);
}

void DocumentWatcher::Check()
{
    QStringList notices;
    const auto name = [](const FilePath& path) { return QFileInfo(path.Display()).fileName(); };
    if (!m_doc.TemplatePath().IsEmpty()) {
        const FileStamp now = StampOf(m_doc.TemplatePath());
        if (!now.exists)
            notices << QString::fromLatin1(strings::DeletedNotice).arg(name(m_doc.TemplatePath()));
        else if (now != m_doc.TemplateStamp())
            notices << QString::fromLatin1(strings::ChangedNotice).arg(name(m_doc.TemplatePath()));
    }
    // The template's notice comes first; the same file named twice is told once.
    if (m_doc.TranslationPath() != m_doc.TemplatePath()) {
        switch (m_doc.TranslationDiskState()) {
        case DiskState::Changed:
            notices
                << QString::fromLatin1(strings::ChangedNotice).arg(name(m_doc.TranslationPath()));
            break;
        case DiskState::Deleted:
            notices
                << QString::fromLatin1(strings::DeletedNotice).arg(name(m_doc.TranslationPath()));
            break;
        case DiskState::Unknown:
        case DiskState::Unchanged:
            break;
        }
    }
    Rewatch();
    const QString notice = notices.join(u' ');
    if (notice != m_notice) {
        m_notice = notice;
        emit NoticeChanged(m_notice);
    }
}

void DocumentWatcher::Rewatch()
{
    QStringList wanted;
    for (const FilePath& path : {m_doc.TemplatePath(), m_doc.TranslationPath()}) {
        if (path.IsEmpty())
            continue;
        const QFileInfo info(path.Display());
        wanted << info.absoluteFilePath() << info.absolutePath();
    }
    wanted.removeDuplicates();
    QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList stale;
    for (const QString& path : watched)
        if (!wanted.contains(path))
            stale << path;
    if (!stale.isEmpty())
        m_watcher->removePaths(stale);
    QStringList missing;
    for (const QString& path : wanted)
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing << path;
    if (!missing.isEmpty())
        m_watcher->addPaths(missing);
}
