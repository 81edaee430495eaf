#include "errors.h"
#include "stringtable.h"

EFOpenError::EFOpenError(const QString& path)
    : Exception(QString::fromLatin1(strings::CannotOpenFile).arg(path))
{
}

EFOpenError::EFOpenError(const QString& path, const QString& reason)
    : Exception(QString::fromLatin1(strings::WithReason)
                    .arg(QString::fromLatin1(strings::CannotOpenFile).arg(path), reason))
{
}

EFCreateError::EFCreateError(const QString& path, const QString& reason)
    : Exception(QString::fromLatin1(strings::WithReason)
                    .arg(QString::fromLatin1(strings::CannotCreateFile).arg(path), reason))
{
}

EFCreateError::EFCreateError(const QString& path)
    : Exception(QString::fromLatin1(strings::CannotCreateFile).arg(path))
{
}

EWriteError::EWriteError() : Exception(QString::fromLatin1(strings::StreamWriteError)) {}

EWriteError::EWriteError(const QString& note)
    : Exception(QString::fromLatin1(strings::StreamWriteError) + QStringLiteral(".\n") + note)
{
}

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
