#include "keyindex.h"

#include <QTest>

// The index grows past its first table and past a reserved size without losing or inventing
// a key; keys differing only in length or in their last byte stay apart.
class TestKeyIndex : public QObject
{
    Q_OBJECT
private slots:
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
        keys.append(QByteArray());                    // the empty key is a key too
        keys.append(QByteArray("abcdefgh"));          // eight bytes: one whole word
        keys.append(QByteArray("abcdefgh\0", 9));     // and one byte more, a NUL
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
        for (const QByteArray& absent : {QByteArray("k1"), QByteArray("abcdefg"), QByteArray("\0", 1)})
            QCOMPARE(index.Find(keyAt, absent), -1);

        index.Clear();
        QCOMPARE(index.Find(keyAt, keys.at(0)), -1);
    }
};

QTEST_APPLESS_MAIN(TestKeyIndex)
#include "tst_keyindex.moc"
