#include "phraserefs.h"

#include <QTest>

// The packed per-phrase references give back every field at the edges of its bits without
// spilling into a neighbour, and a merged value is never mistaken for the template's own.
class TestPhraseRefs : public QObject
{
    Q_OBJECT
private slots:
    void lineSpan_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<bool>("lengthKnown");
        constexpr qint64 maxOffset = qint64(LineSpanRef::MaxOffset);
        constexpr qint64 longLine = qint64(LineSpanRef::LongLine);
        QTest::newRow("empty line at 0") << qint64(0) << qint64(0) << true;
        QTest::newRow("max offset, empty") << maxOffset << qint64(0) << true;
        QTest::newRow("max offset, longest known") << maxOffset << longLine - 1 << true;
        QTest::newRow("exactly the long mark") << qint64(7) << longLine << false;
        QTest::newRow("longer than 16 MB") << maxOffset << (qint64(1) << 40) << false;
    }

    void lineSpan()
    {
        QFETCH(qint64, start);
        QFETCH(qint64, length);
        QFETCH(bool, lengthKnown);
        const LineSpanRef span = LineSpanRef::Of(start, length);
        QCOMPARE(qint64(span.Start()), start);
        QCOMPARE(span.LengthKnown(), lengthKnown);
        if (lengthKnown)
            QCOMPARE(qint64(span.Length()), length);
    }

    void mergedTranslation_data()
    {
        QTest::addColumn<quint64>("source");
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<bool>("canRefer");
        constexpr quint64 maxSource = TranslationRef::MaxSource;
        constexpr quint64 maxOffset = TranslationRef::MaxOffset;
        constexpr quint64 maxLength = TranslationRef::MaxLength;
        QTest::newRow("empty value first in the first file")
            << quint64(1) << quint64(0) << quint64(0) << true;
        QTest::newRow("every field at its max") << maxSource << maxOffset << maxLength << true;
        QTest::newRow("max source alone") << maxSource << quint64(0) << quint64(0) << true;
        QTest::newRow("max length alone") << quint64(1) << quint64(0) << maxLength << true;
        QTest::newRow("max offset alone") << quint64(1) << maxOffset << quint64(0) << true;
        QTest::newRow("the template is no file") << quint64(0) << quint64(0) << quint64(1) << false;
        QTest::newRow("source past max") << maxSource + 1 << quint64(0) << quint64(1) << false;
        QTest::newRow("offset past max") << quint64(1) << maxOffset + 1 << quint64(1) << false;
        QTest::newRow("length past max") << quint64(1) << quint64(0) << maxLength + 1 << false;
    }

    void mergedTranslation()
    {
        QFETCH(quint64, source);
        QFETCH(quint64, offset);
        QFETCH(quint64, length);
        QFETCH(bool, canRefer);
        QCOMPARE(TranslationRef::CanRefer(source, offset, length), canRefer);
        if (!canRefer)
            return;
        const TranslationRef ref = TranslationRef::Merged(source, offset, length);
        QVERIFY(!ref.IsTemplate());
        QVERIFY(!ref.IsOwned());
        QVERIFY(!ref.IsMergedView());
        QCOMPARE(quint64(ref.Source()), source);
        QCOMPARE(quint64(ref.Offset()), offset);
        QCOMPARE(quint64(ref.Length()), length);
    }

    // An owned text and a merged view name entries of two lists; neither is taken for the other.
    void listEntry_data()
    {
        QTest::addColumn<bool>("view");
        QTest::addColumn<quint64>("index");
        for (bool view : {false, true}) {
            const char* list = view ? "merged view" : "owned text";
            QTest::addRow("%s, first", list) << view << quint64(0);
            QTest::addRow("%s, past 32 bits", list) << view << (quint64(1) << 32) + 5;
            QTest::addRow("%s, max", list) << view << TranslationRef::MaxIndex;
        }
    }

    void listEntry()
    {
        QFETCH(bool, view);
        QFETCH(quint64, index);
        const TranslationRef ref =
            view ? TranslationRef::MergedView(size_t(index)) : TranslationRef::Owned(size_t(index));
        QCOMPARE(ref.IsMergedView(), view);
        QCOMPARE(ref.IsOwned(), !view);
        QVERIFY(!ref.IsTemplate());
        QCOMPARE(quint64(ref.Index()), index);
        QVERIFY(TranslationRef::Template().IsTemplate());
        QVERIFY(!TranslationRef::Template().IsOwned() &&
                !TranslationRef::Template().IsMergedView());
    }

    void kindCode_data()
    {
        QTest::addColumn<PhraseLineKind>("kind");
        QTest::addColumn<char>("quote");
        QTest::addColumn<char>("kept");
        for (PhraseLineKind kind :
             {PhraseLineKind::lkNone, PhraseLineKind::lkCase, PhraseLineKind::lkDefine,
              PhraseLineKind::lkBracket, PhraseLineKind::lkCaseStrToLower, PhraseLineKind::lkEntry,
              PhraseLineKind::lkAppend}) {
            for (const char quote : {'\'', '"', 'h', 'n', '\0'})
                QTest::addRow("kind %d, quote %d", int(kind), int(quote)) << kind << quote << quote;
        }
    }

    void kindCode()
    {
        QFETCH(PhraseLineKind, kind);
        QFETCH(char, quote);
        QFETCH(char, kept);
        const PhraseKindCode code(kind, quote);
        QCOMPARE(code.Kind(), kind);
        QCOMPARE(code.Quote(), kept);
    }
};

QTEST_APPLESS_MAIN(TestPhraseRefs)
#include "tst_phraserefs.moc"
