// Opening files named without a chooser: File > Recent files, the command line and a drop.
#include "mainform.h"
#include "openrequest.h"
#include "stringtable.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// A name shown in a menu caption, where '&' marks the mnemonic.
QString CaptionName(const QString& name)
{
    QString escaped = name;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

QString FileName(const FilePath& path)
{
    return CaptionName(QFileInfo(path.Display()).fileName());
}

// What tells an entry from another with the same file names: its folder.
QString FolderName(const FilePath& path)
{
    return CaptionName(QFileInfo(path.Display()).dir().dirName());
}

QString FilesCaption(const FilePair& files)
{
    if (files.translation.IsEmpty())
        return Text(strings::RecentTemplateOnly).arg(FileName(files.templ));
    return Text(strings::RecentPair).arg(FileName(files.templ), FileName(files.translation));
}

// &1 to &9, then 1&0: every entry has a key of its own.
QString Mnemonic(qsizetype index)
{
    return index < 9 ? QStringLiteral("&%1").arg(index + 1) : QStringLiteral("1&0");
}

// One tool tip line per file, its full name, and which one is gone; true when both exist.
bool DescribeFiles(const FilePair& files, QStringList& lines)
{
    bool available = true;
    const auto line = [&](const char* label, const FilePath& path) {
        QString name = path.Display();
        if (!StampOf(path).exists) {
            name = Text(strings::RecentMissing).arg(name);
            available = false;
        }
        lines << Text(label).arg(name);
    };
    line(strings::RecentTemplate, files.templ);
    if (!files.translation.IsEmpty())
        line(strings::RecentTranslation, files.translation);
    return available;
}

// The copy drop action: a move accepted would have the source delete the files it dragged.
bool AcceptAsCopy(QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void TMainForm::OpenFiles(const FilePair& files)
{
    ReadTemplate(files.templ);
    if (!files.translation.IsEmpty())
        ReadTranslation(files.translation);
}

void TMainForm::OpenNamedFiles(const FilePair& files)
{
    if (ConfirmDiscard())
        OpenFiles(files);
}

void TMainForm::OpenStartFiles(const FilePair& files)
{
    Guarded([&] { OpenNamedFiles(files); });
    UpdateActions();
}

void TMainForm::RememberOpenFiles()
{
    // A translation counts once it was read or written at its name; a name alone (one that
    // could not be read) leaves the template's entry as it is.
    if (m_doc.TemplatePath().IsEmpty())
        return;
    m_recentFiles.Add(
        {m_doc.TemplatePath(), m_doc.TranslationStamp() ? m_doc.TranslationPath() : FilePath()});
}

void TMainForm::FileClearRecentActionExecute()
{
    m_recentFiles.Clear();
}

void TMainForm::UpdateRecentMenu()
{
    // Entries of an earlier opening go with their actions; Clear belongs to the window and stays.
    m_recentMenu->clear();
    const QList<FilePair>& entries = m_recentFiles.Entries();
    QStringList captions;
    for (const FilePair& files : entries)
        captions << FilesCaption(files);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const FilePair& files = entries[i];
        QString caption = captions[i];
        if (captions.count(caption) > 1)
            caption =
                Text(strings::RecentInFolder)
                    .arg(caption,
                         FolderName(files.translation.IsEmpty() ? files.templ : files.translation));
        QAction* entry =
            m_recentMenu->addAction(Text(strings::RecentEntry).arg(Mnemonic(i), caption));
        QStringList tip;
        entry->setEnabled(DescribeFiles(files, tip));
        entry->setToolTip(tip.join(u'\n'));
        connect(entry, &QAction::triggered, this, [this, files] {
            Guarded([&] { OpenNamedFiles(files); });
            UpdateActions();
        });
    }
    if (entries.isEmpty())
        m_recentMenu->addAction(Text(strings::RecentEmpty))->setEnabled(false);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(m_fileClearRecentAction);
    m_fileClearRecentAction->setEnabled(!entries.isEmpty());
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    // A drop that would not open anything is refused at once, so the cursor says so.
    if (!OpenRequest::DroppedFiles(event->mimeData()->urls()) || !AcceptAsCopy(event))
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const auto files = OpenRequest::DroppedFiles(event->mimeData()->urls());
    if (!files || !AcceptAsCopy(event)) {
        event->ignore();
        return;
    }
    // The drag's source waits until the drop returns; the question and the reading come after.
    QTimer::singleShot(0, this, [this, files = *files] {
        Guarded([&] { OpenNamedFiles(files); });
        UpdateActions();
    });
}
