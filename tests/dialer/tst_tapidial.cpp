// placeholder, filled below
#include <QtTest>
class TestTapiDial : public QObject { Q_OBJECT };
QTEST_MAIN(TestTapiDial)
#include "tst_tapidial.moc"
