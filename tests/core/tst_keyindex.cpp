#include "keyindex.h"

#include <QTest>

// The index grows past its first table and past a reserved size without losing or inventing
// a key; keys differing only in length or in their last byte stay apart. The high half of a
// 64-bit product, which scales hashes into the table, is the same by the compiler's 128-bit
// integer and by the portable fallback.
class TestKeyIndex : public QObject
{
    Q_OBJECT
private slots:
    void multiplyHigh64_data()
    {
        QTest::addColumn<quint64>("a");
        QTest::addColumn<quint64>("b");
        QTest::addColumn<quint64>("high");
        constexpr quint64 max = ~quint64(0);
        QTest::newRow("zero") << quint64(0) << quint64(0) << quint64(0);
        QTest::newRow("one by max") << quint64(1) << max << quint64(0);
        QTest::newRow("max by max") << max << max << quint64(0xfffffffffffffffe);
        QTest::newRow("2^32 squared") << (quint64(1) << 32) << (quint64(1) << 32) << quint64(1);
        QTest::newRow("2^63 by 2") << (quint64(1) << 63) << quint64(2) << quint64(1);
        QTest::newRow("max by 2") << max << quint64(2) << quint64(1);
        QTest::newRow("low halves only")
            << quint64(0xffffffff) << quint64(0xffffffff) << quint64(0);
        QTest::newRow("max by 2^32") << max << (quint64(1) << 32) << quint64(0xffffffff);
        QTest::newRow("carry out of the middle")
            << quint64(0x1ffffffff) << quint64(0x1ffffffff) << quint64(3);
        QTest::newRow("mixed halves") << quint64(0xfffffffeffffffff) << quint64(0xffffffff00000001)
                                      << quint64(0xfffffffe00000000);
        QTest::newRow("hash into 1333 slots")
            << (quint64(1) << 63) << quint64(1333) << quint64(666);
        QTest::newRow("golden ratio by 1000003")
            << quint64(0x9E3779B97F4A7C15) << quint64(1000003) << quint64(0x96e33);
        QTest::newRow("arbitrary") << quint64(0xdeadbeefcafebabe) << quint64(0x0123456789abcdef)
                                   << quint64(0xfd5bdeeeb2a01d);
    }

    void multiplyHigh64()
    {
        QFETCH(quint64, a);
        QFETCH(quint64, b);
        QFETCH(quint64, high);
        QCOMPARE(quint64(MultiplyHigh64Portable(a, b)), high);
        QCOMPARE(quint64(MultiplyHigh64Portable(b, a)), high);
        QCOMPARE(quint64(MultiplyHigh64(a, b)), high);
    }

    void findsEveryKeyAfterGrowing_data()
    {
        QTest::addColumn<int>("reserved");
        QTest::newRow("never reserved") << 0;
        QTest::newRow("reserved too little") << 100;
        QTest::newRow("reserved enough") << 20000;
    }

    void findsEveryKeyAfterGrowing()
    {
        QFETCH(int, reserved);
        QList<QByteArray> keys;
        for (int i = 0; i < 20000; ++i)
            keys.append("k" + QByteArray::number(i * 7919));
        keys.append(QByteArray());                // the empty key is a key too
        keys.append(QByteArray("abcdefgh"));      // eight bytes: one whole word
        keys.append(QByteArray("abcdefgh\0", 9)); // and one byte more, a NUL
        const auto keyAt = [&keys](int p) { return keys.at(p); };

        KeyIndex index;
        index.Reserve(size_t(reserved));
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(index.FindOrInsert(keyAt, keys.at(i), i), -1);
        QCOMPARE(index.Count(), size_t(keys.size()));
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(index.Find(keyAt, keys.at(i)), i);
            QCOMPARE(index.FindOrInsert(keyAt, keys.at(i), -7), i); // found, nothing added
        }
        QCOMPARE(index.Count(), size_t(keys.size()));
        for (const QByteArray& absent :
             {QByteArray("k1"), QByteArray("abcdefg"), QByteArray("\0", 1)})
            QCOMPARE(index.Find(keyAt, absent), -1);

        index.Clear();
        QCOMPARE(index.Find(keyAt, keys.at(0)), -1);
    }
};

QTEST_APPLESS_MAIN(TestKeyIndex)
#include "tst_keyindex.moc"
