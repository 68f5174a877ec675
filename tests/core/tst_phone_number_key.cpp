// The one comparison of telephone numbers: every way a number is written
// gives the same key, read by the numbering plan of the dialling place.
#include "platform/core/PhoneNumberKey.h"

#include <QtTest>

class TestPhoneNumberKey : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keys_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("country");
        QTest::addColumn<QByteArray>("area");
        QTest::addColumn<QByteArray>("key");
        const QByteArray mobile = "905051234567";
        for (const char *written : {"0505 123 45 67", "+90 505 123 45 67", "905051234567", "5051234567", "0090 (505) 123-45-67"})
            QTest::newRow(written) << QByteArray(written) << QByteArray("90") << QByteArray("212") << mobile;
        QTest::newRow("subscriber number") << QByteArray("333 44 55") << QByteArray("90") << QByteArray("212")
                                           << QByteArray("902123334455");
        QTest::newRow("with an extension") << QByteArray("0212 123 45 67-123") << QByteArray("90") << QByteArray()
                                           << QByteArray("902121234567123");
        QTest::newRow("another city") << QByteArray("0232 333 44 55") << QByteArray("90") << QByteArray("212")
                                      << QByteArray("902323334455");
        QTest::newRow("nationwide") << QByteArray("444 1 234") << QByteArray("90") << QByteArray("212") << QByteArray("904441234");
        QTest::newRow("emergency") << QByteArray("112") << QByteArray("90") << QByteArray("212") << QByteArray("112");
        QTest::newRow("short code") << QByteArray("155") << QByteArray("90") << QByteArray("212") << QByteArray("155");
        QTest::newRow("foreign") << QByteArray("+44 20 7946 0958") << QByteArray("90") << QByteArray() << QByteArray("442079460958");
        QTest::newRow("foreign by 00") << QByteArray("0044 20 7946 0958") << QByteArray("90") << QByteArray() << QByteArray("442079460958");
        QTest::newRow("Berlin, from Berlin") << QByteArray("030 1234567") << QByteArray("49") << QByteArray("30")
                                             << QByteArray("49301234567");
        QTest::newRow("Rome keeps its 0") << QByteArray("06 1234 5678") << QByteArray("39") << QByteArray() << QByteArray("390612345678");
        QTest::newRow("no digit") << QByteArray("yok") << QByteArray("90") << QByteArray() << QByteArray();
    }
    void keys()
    {
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, country);
        QFETCH(QByteArray, area);
        QTEST(PhoneNumberKey(QByteArrayView(number), {country, area}), "key");
    }
};

QTEST_GUILESS_MAIN(TestPhoneNumberKey)
#include "tst_phone_number_key.moc"
