// New, Open, Save, Save as and Exit, with the question about unsaved changes.
#include "mainform.h"

#include "stringtable.h"


bool TMainForm::ConfirmDiscard()
{
    if (m_doc.Modified()) {
        switch (m_seam.Confirm(QString::fromLatin1(strings::ConfirmSave))) {
        case DialogSeam::Answer::Cancel:
            return false;
        case DialogSeam::Answer::Yes: {
            // The save chooser opens even when the document has a file name. A failed save
            // abandons the whole command that asked; closing the window asks too, outside any
            // command, so the error is shown here.
            bool saved = false;
            if (!Guarded([&] { saved = SaveTranslation(true); }) || !saved)
                return false;
            break;
        }
        case DialogSeam::Answer::No:
            break;
        }
    }
    m_doc.ClearDocument();
    return true;
}

bool TMainForm::LoadTemplate()
{
    const auto path = m_seam.ChooseFile(m_templateDialog);
    if (!path)
        return false;
    // The chooser opens next time on the path chosen now.
    m_templateDialog.fileName = *path;
    m_doc.LoadTemplate(*path);
    ApplyCodec();
    return true;
}

bool TMainForm::LoadTranslation()
{
    m_translateDialog.fileName = m_doc.TranslationFileName();
    const auto path = m_seam.ChooseFile(m_translateDialog);
    if (!path)
        return false;
    m_doc.LoadTranslation(*path); // takes the path as the file name before reading
    ApplyCodec();
    return true;
}

bool TMainForm::SaveTranslation(bool askForName)
{
    if (askForName || m_doc.TranslationFileName().isEmpty()) {
        m_saveAsDialog.fileName = m_doc.TranslationFileName();
        const auto path = m_seam.ChooseFile(m_saveAsDialog);
        if (!path)
            return false;
        m_doc.SetTranslationFileName(*path);
    }
    m_doc.SaveTranslation();
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

void TMainForm::FileExitActionExecute()
{
    close();
}
