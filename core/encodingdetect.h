#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

/// True when every non-ASCII byte of text belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(QByteArrayView text);

/// The legacy code page Windows would use for the language (windows-1251 for Russian, ...).
QByteArray LegacyEncodingFor(QLocale::Language language,
                             QLocale::Script script = QLocale::AnyScript);

/// The usual spelling of an encoding name ("cp1251" and "WINDOWS-1251" give "windows-1251"),
/// or empty when Qt cannot convert that encoding.
QByteArray CanonicalEncodingName(QByteArrayView name);

/// The charset a file names for itself (define("_CHARSET", ...), define('_ISO', ...),
/// $lang_charset = ..., charset=... in a meta text), canonical, or empty when it names none.
QByteArray DeclaredEncoding(QByteArrayView text);

/// What told a file's encoding, from the surest sign to the weakest.
enum class EncodingSource {
    ByteOrderMark,
    Utf8,     ///< every byte is valid UTF-8 and some are not ASCII
    Declared, ///< the file names its charset
    Guessed,  ///< a statistical guess from the letters' bytes
    Locale,   ///< too little text to guess: the legacy code page of the user's language
    Ascii,    ///< plain ASCII that names no charset: any ASCII-based encoding reads it
};

struct FileEncoding
{
    QByteArray name; ///< canonical; for Ascii, UTF-8
    EncodingSource source = EncodingSource::Ascii;
    bool eightBit = false; ///< the file holds bytes above 0x7F
};

/// The encoding of one file, found in this order: a byte order mark, valid UTF-8, the charset
/// the file declares, a guess from its bytes, the locale's code page. Files of many megabytes
/// are judged on samples of whole lines, so this stays fast on any size.
FileEncoding DetectFileEncoding(QByteArrayView bytes, const QLocale& locale);

/// The encoding a template and its merged translations are shown and searched in.
struct DocumentEncoding
{
    QByteArray name;
    FileEncoding templ;
    std::optional<FileEncoding> translation; ///< of the last merged file, if any
    /// The translation is in another encoding than the template's own bytes: a file rebuilt from
    /// both mixes two encodings.
    bool mismatch = false;
};

/// The translation's encoding where it tells one (its bytes or its declaration), else the
/// template's where its bytes tell one, else UTF-8. A template's declaration alone does not
/// count: its charset phrase is translated with the rest.
DocumentEncoding DetectDocumentEncoding(QByteArrayView templ, const QList<QByteArray>& merged,
                                        const QLocale& locale);

/// The warning given when a translation is opened whose encoding differs from its template's.
QString EncodingMismatchText(const DocumentEncoding& encoding, const QString& templateName,
                             const QString& translationName);
