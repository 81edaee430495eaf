#pragma once
#include "leadbytes.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

class QStringDecoder;
class QStringEncoder;

/// Turns the document's bytes into text for the screen and back, by one named encoding.
/// The core never decodes; the grid, the editor, the clipboard and the search all go through this.
/// An object converts on one thread at a time (it reuses its converters); a copy is independent.
class TextCodec
{
public:
    /// A codec for an encoding name Qt knows ("UTF-8", "windows-1251", "Shift_JIS", ...).
    /// Unknown names fall back to windows-1252; Valid() then reports false.
    explicit TextCodec(const QByteArray& name = "UTF-8");

    /// The encoding of the user's locale.
    static TextCodec Locale();

    const QByteArray& Name() const { return m_name; }
    bool Valid() const { return m_valid; }
    bool IsUtf8() const { return m_lead.scheme == LeadByteTable::Scheme::Utf8; }

    QString ToUnicode(QByteArrayView bytes) const;

    /// The bytes for text, or nothing when a character cannot be written in this encoding;
    /// then *badChar (when given) receives the first such character.
    std::optional<QByteArray> FromUnicode(QStringView text, QString* badChar = nullptr) const;

    /// Upper-cases every letter that has a capital in this encoding.
    QByteArray UpperCase(QByteArrayView bytes) const;
    /// The same into out, reusing its storage: searches fold a million texts this way.
    void UpperCaseInto(QByteArrayView bytes, QByteArray& out) const;

    const LeadByteTable& LeadBytes() const { return m_lead; }
    /// For single-byte encodings, the capital of every byte; null for multi-byte encodings.
    const std::array<unsigned char, 256>* UpperTable() const { return m_upper.get(); }

private:
    QByteArray m_name;
    bool m_valid = true;
    LeadByteTable m_lead;
    // For single-byte encodings: the upper-case byte of every byte, so case folding needs no
    // decoding.
    std::shared_ptr<const std::array<unsigned char, 256>> m_upper;
    // For the other multi-byte encodings: the capital of every character that has one the
    // encoding holds, both as LeadByteTable::CharValue numbers.
    std::shared_ptr<const std::unordered_map<std::uint32_t, std::uint32_t>> m_wideUpper;

    // This object's own decoder and encoder for m_name, opened on first use and reset before
    // every call, so nothing of one text carries into the next. A copy opens its own: converters
    // hold state, and a copied codec may be used elsewhere. On the heap, so a moved codec keeps
    // the very converter objects it opened.
    class Converters
    {
    public:
        // Defined where Pair is complete.
        Converters() noexcept;
        Converters(const Converters&) noexcept;
        Converters& operator=(const Converters&) noexcept;
        Converters(Converters&&) noexcept;
        Converters& operator=(Converters&&) noexcept;
        ~Converters();

        QStringDecoder& Decoder(const QByteArray& name);
        QStringEncoder& Encoder(const QByteArray& name);

    private:
        struct Pair;
        std::unique_ptr<Pair> m_pair;
        Pair& Open(const QByteArray& name);
    };
    mutable Converters m_converters;
};
