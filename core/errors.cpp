#include "errors.h"
#include "stringtable.h"

EFOpenError::EFOpenError(const QString& path)
    : Exception(QString::fromLatin1(strings::CannotOpenFile).arg(path))
{
}

EFCreateError::EFCreateError(const QString& path)
    : Exception(QString::fromLatin1(strings::CannotCreateFile).arg(path))
{
}

EWriteError::EWriteError() : Exception(QString::fromLatin1(strings::StreamWriteError)) {}

EListError::EListError(qsizetype index)
    : Exception(QString::fromLatin1(strings::ListIndexOutOfBounds).arg(index))
{
}

QString ErrorBoxText(const QString& message)
{
    // Messages that end in a quote or a parenthesis sort below '.' and stay as they are.
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}
