#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

/// Base of every error the program reports to the user; the message is shown as it stands.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    {
    }
    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8; // kept so what() stays valid for the object's lifetime
};

/// A file could not be opened for reading: "Cannot open file %s".
class EFOpenError : public Exception
{
public:
    explicit EFOpenError(const QString& path);
    /// The same, followed by why: "Cannot open file %s: it is a folder".
    EFOpenError(const QString& path, const QString& reason);
};

/// A file could not be created for writing: "Cannot create file %s".
class EFCreateError : public Exception
{
public:
    explicit EFCreateError(const QString& path);
    EFCreateError(const QString& path, const QString& reason);
};

/// Writing to a file failed part-way: "Stream write error".
class EWriteError : public Exception
{
public:
    EWriteError();
    /// The same, followed by what the user must know, such as where a safety copy was left.
    explicit EWriteError(const QString& note);
};

/// An index outside a list: "List index out of bounds (%d)".
class EListError : public Exception
{
public:
    explicit EListError(qsizetype index);
};

/// The text an error box shows: a full stop is added when the last character sorts after '.'.
QString ErrorBoxText(const QString& message);
