#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocale>

/// True when every non-ASCII byte of text belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(QByteArrayView text);

/// The legacy code page Windows would use for the language (windows-1251 for Russian, ...).
QByteArray LegacyEncodingFor(QLocale::Language language, QLocale::Script script = QLocale::AnyScript);

/// UTF-8 when all the files' bytes are valid UTF-8 (a byte order mark counts too), otherwise the
/// legacy code page of the locale's language.
QByteArray DetectEncoding(const QList<QByteArrayView>& files, const QLocale& locale);
