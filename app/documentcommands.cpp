// New, Open, Save, Save as and Exit, with the question about unsaved changes.
#include "mainform.h"

#include "edithistory.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "saveleftovers.h"
#include "stringtable.h"

#include <QFileInfo>
#include <QLocale>

bool TMainForm::AskAboutUnsavedChanges()
{
    if (!m_doc.Modified())
        return true;
    switch (m_seam.Confirm(QString::fromLatin1(strings::ConfirmSave))) {
    case DialogSeam::Answer::Cancel:
        return false;
    case DialogSeam::Answer::Yes: {
        // The save chooser opens even when the document has a file name. A failed save
        // abandons the whole command that asked; closing the window asks too, outside any
        // command, so the error is shown here.
        bool saved = false;
        return Guarded([&] { saved = SaveTranslation(true); }) && saved;
    }
    case DialogSeam::Answer::No:
        break;
    }
    return true;
}

bool TMainForm::ConfirmDiscard()
{
    if (!AskAboutUnsavedChanges())
        return false;
    m_doc.ClearDocument();
    return true;
}

template <class Error> void TMainForm::RefuseUnrepresentableName(const QString& path)
{
    // The chooser shows bytes it cannot decode as U+FFFD; such a name, spelt back, is another
    // file (or none), so it is refused rather than read or written under a different name.
    if (path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path))
        throw Error(path, QString::fromLatin1(strings::NameNotRepresentable));
}

bool TMainForm::LoadTemplate()
{
    const auto path = m_seam.ChooseFile(m_templateDialog);
    if (!path)
        return false;
    RefuseUnrepresentableName<EFOpenError>(*path);
    ReadTemplate(FilePath::FromText(*path));
    return true;
}

void TMainForm::OfferSafetyCopies(const FilePath& only)
{
    const FileStamp onlyStamp = only.IsEmpty() ? FileStamp() : StampOf(only);
    for (const OrphanedSafetyCopy& orphan : FindOrphanedSafetyCopies()) {
        if (!only.IsEmpty() && orphan.target != only && !StampOf(orphan.target).SameFile(onlyStamp))
            continue;
        const QString question = QString::fromLatin1(strings::SafetyCopyOffer)
                                     .arg(orphan.target.Display(),
                                          QLocale().toString(orphan.madeAt, QLocale::ShortFormat),
                                          orphan.copy.Display());
        if (m_seam.Ask(question))
            Guarded([&] { PutBackSafetyCopy(orphan); });
    }
}

void TMainForm::ReadTemplate(const FilePath& path)
{
    // Leftovers of this file's own saves go first, and contents cut short by one are offered
    // back, so that what is read is the file as it was saved last.
    RemoveStaleTemporaries(path);
    OfferSafetyCopies(path);
    // The chooser opens next time on the file read now.
    m_templateDialog.fileName = path.Display();
    m_doc.LoadTemplate(path);
    ApplyCodec();
    if (const auto& cut = m_doc.TemplateCut())
        m_seam.ShowNotice(QString::fromLatin1(cut->haltCompiler ? strings::TemplateHaltNotice
                                                                : strings::TemplateNulNotice)
                              .arg(path.Display(), QLocale().toString(cut->line + 1),
                                   QLocale().toString(cut->bytesAfter)));
}

bool TMainForm::LoadTranslation()
{
    m_translateDialog.fileName = m_doc.TranslationFileName();
    const auto path = m_seam.ChooseFile(m_translateDialog);
    if (!path)
        return false;
    RefuseUnrepresentableName<EFOpenError>(*path);
    ReadTranslation(FilePath::FromText(*path));
    return true;
}

void TMainForm::ReadTranslation(const FilePath& path)
{
    RemoveStaleTemporaries(path);
    OfferSafetyCopies(path);
    m_doc.LoadTranslation(path); // takes the path as the file name before reading
    ApplyCodec();
    if (const auto cut = m_doc.TranslationNulCut())
        m_seam.ShowNotice(QString::fromLatin1(strings::NulCutNotice)
                              .arg(path.Display(), QLocale().toString(cut->line + 1),
                                   QLocale().toString(cut->bytesAfter)));
}

bool TMainForm::MayOverwriteTranslation(const FilePath& target, bool chooserConfirmed)
{
    const QString name = target.Display();
    const FileStamp stamp = StampOf(target);
    const bool sameAsRead = m_doc.TranslationPath() == target;
    if (stamp.SameFile(StampOf(m_doc.TemplatePath())))
        return m_seam.Ask(QString::fromLatin1(strings::OverwriteTemplate).arg(name));
    if (stamp.exists && ReadOnlyFile(target) &&
        !m_seam.Ask(QString::fromLatin1(strings::OverwriteReadOnly).arg(name)))
        return false;
    const std::optional<FileStamp> known = sameAsRead ? m_doc.TranslationStamp() : std::nullopt;
    if (!known) {
        if (!stamp.exists)
            return true;
        // A file this document never read (its reading failed, or another name was chosen)
        // holds what the translator has not seen here: replace it only when asked. The save
        // chooser has asked already when the name came from it.
        return chooserConfirmed ||
               m_seam.Ask(QString::fromLatin1(strings::OverwriteUnread).arg(name));
    }
    if (const auto cut = m_doc.TranslationNulCut()) {
        if (stamp.SameFile(*known) && !m_seam.Ask(QString::fromLatin1(strings::NulCutSave)
                                                      .arg(name, QLocale().toString(cut->line + 1),
                                                           QLocale().toString(cut->bytesAfter))))
            return false;
    }
    if (!sameAsRead)
        return true;
    switch (m_doc.TranslationDiskState()) {
    case DiskState::Changed:
        return m_seam.Ask(QString::fromLatin1(strings::ChangedOnDisk).arg(name));
    case DiskState::Deleted:
        return m_seam.Ask(QString::fromLatin1(strings::DeletedOnDisk).arg(name));
    case DiskState::Unknown:
    case DiskState::Unchanged:
        break;
    }
    return true;
}

bool TMainForm::SaveTranslation(bool askForName)
{
    FilePath target = m_doc.TranslationPath();
    bool chooserConfirmed = false;
    if (askForName || target.IsEmpty()) {
        m_saveAsDialog.fileName = m_doc.TranslationFileName();
        const auto path = m_seam.ChooseFile(m_saveAsDialog);
        if (!path)
            return false;
        RefuseUnrepresentableName<EFCreateError>(*path);
        target = FilePath::FromText(*path);
        // The chooser asks before it hands back a file that exists.
        chooserConfirmed = true;
    }
    // The save target changes only once the save may go there: after No, it is what it was.
    if (!MayOverwriteTranslation(target, chooserConfirmed))
        return false;
    m_doc.SetTranslationPath(target);
    // An edit still open is saved as far as it went: that much is a step of its own, and undoing
    // it later leaves the state on disk.
    m_history->Checkpoint();
    m_doc.SaveTranslation();
    m_history->MarkSaved();
    return true;
}

void TMainForm::FileNewActionExecute()
{
    if (ConfirmDiscard())
        LoadTemplate();
}

void TMainForm::FileOpenActionExecute()
{
    if (ConfirmDiscard() && LoadTemplate())
        LoadTranslation();
}

void TMainForm::FileSaveActionExecute()
{
    SaveTranslation(false);
}

void TMainForm::FileSaveAsActionExecute()
{
    SaveTranslation(true);
}

void TMainForm::FileReloadActionExecute()
{
    if (m_doc.TemplatePath().IsEmpty())
        return;
    if (m_doc.Modified() && !m_seam.Ask(QString::fromLatin1(strings::ReloadDiscards)))
        return;
    // The current cell stays on its phrase number, as far as the reloaded files allow; a
    // filter may show it at another row, or the nearest phrase instead.
    const QModelIndex current = m_grid->currentIndex();
    const int phrase = current.isValid() ? m_model->PhraseAt(current.row()) : -1;
    m_doc.Reload();
    ApplyCodec();
    if (phrase >= 0 && phrase < m_doc.PhraseCount() && m_model->NearestRow(phrase) >= 0)
        m_grid->setCurrentIndex(m_model->index(m_model->NearestRow(phrase), current.column()));
}

void TMainForm::FileExitActionExecute()
{
    close();
}
