// Late binding, the class registry, and a spreadsheet server that cannot
// be reached; none of these needs a running LibreOffice.
#include "platform/automation/CalcServer.h"
#include "platform/automation/CalcSettings.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/OleCall.h"
#include "platform/core/Exception.h"
#include "support/TestHome.h"
#include "support/TestTools.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

// Records what it was invoked with; its "Count" property counts by itself.
class TProbe : public TAutoObject {
public:
    explicit TProbe(int *alive) : TAutoObject({QStringLiteral("Value"), QStringLiteral("Child")}), FAlive(alive) { ++*FAlive; }
    ~TProbe() override { --*FAlive; }

    WORD Flags = 0;
    DISPPARAMS Params;

    void Invoke(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        Flags = flags;
        Params = params;
        if (member == 2 && result)
            *result = VARIANT(TComPtr<IDispatch>(new TProbe(FAlive)));
        else if (result && (flags & DISPATCH_PROPERTYPUT) == 0)
            *result = VARIANT(member == 1 ? PositionalCount(params) : -1);
        if (flags & DISPATCH_PROPERTYPUT)
            Stored = PutValue(params).ToString();
    }
    QString Stored;

private:
    int *FAlive;
};

} // namespace

class TestAutomation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The registry knows no server until the program's start registers one.
        QVERIFY(!ClassRegistry().IsRegistered(QStringLiteral("EXCEL.APPLICATION")));
        RegisterCalcServer(ClassRegistry());
    }

    void namesMatchWithoutCaseAndUnknownOnesAreNamed()
    {
        int alive = 0;
        TComPtr<TProbe> probe(new TProbe(&alive));
        QCOMPARE(probe->GetIDsOfNames(QStringLiteral("VALUE")), DISPID(1));
        QCOMPARE(probe->GetIDsOfNames(QStringLiteral("child")), DISPID(2));
        QCOMPARE(ErrorOf([&] { OleFunction(probe.Get(), QStringLiteral("Quit")); }),
                 QStringLiteral("Method 'Quit' not supported by automation object"));
    }

    void propertyPutNamesItsValueAfterTheIndexes()
    {
        int alive = 0;
        TComPtr<TProbe> probe(new TProbe(&alive));
        int row = 7;
        OlePropertySet(probe.Get(), QStringLiteral("value"), {VARIANT::ByRef(&row), 3}, QStringLiteral("metin"));
        QCOMPARE(probe->Flags, DISPATCH_PROPERTYPUT);
        QCOMPARE(probe->Params.rgvarg.size(), size_t(3));
        QCOMPARE(probe->Params.rgdispidNamedArgs, std::vector<DISPID>{DISPID_PROPERTYPUT});
        QCOMPARE(probe->Params.rgvarg[0].vt, VARTYPE(VT_I4 | VT_BYREF));
        row = 9; // by reference: the callee sees the caller's variable
        QCOMPARE(probe->Params.rgvarg[0].ToInt(), 9);
        QCOMPARE(probe->Params.rgvarg[1].vt, VT_I4);
        QCOMPARE(probe->Params.rgvarg[2].vt, VT_BSTR);
        QCOMPARE(probe->Stored, QStringLiteral("metin"));

        QCOMPARE(OleFunction(probe.Get(), QStringLiteral("Value"), {1, 2}).ToInt(), 2);
        QCOMPARE(probe->Flags, WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET));
        OlePropertyGet(probe.Get(), QStringLiteral("Value"));
        QCOMPARE(probe->Flags, DISPATCH_PROPERTYGET);
        OleProcedure(probe.Get(), QStringLiteral("Value"));
        QCOMPARE(probe->Flags, DISPATCH_METHOD);
    }

    void objectsGoWithTheirLastReference()
    {
        int alive = 0;
        {
            TComPtr<IDispatch> parent(new TProbe(&alive));
            TComPtr<IDispatch> child = OleFunction(parent.Get(), QStringLiteral("Child")).ToDispatch();
            QCOMPARE(alive, 2);
            parent.Reset();
            QCOMPARE(alive, 1);
            TComPtr<IDispatch> copy = child;
            child.Reset();
            QCOMPARE(alive, 1);
        }
        QCOMPARE(alive, 0);
    }

    void conversionsRefuseWhatDoesNotFit_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("text as number") << 0 << "Type mismatch";
        QTest::newRow("number as object") << 1 << "Type mismatch";
        QTest::newRow("empty as Boolean") << 2 << "Type mismatch";
        QTest::newRow("too large") << 3 << "Overflow";
    }
    void conversionsRefuseWhatDoesNotFit()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        QCOMPARE(ErrorOf([&] {
                     switch (kind) {
                     case 0: VARIANT(QStringLiteral("Ahmet")).ToInt(); break;
                     case 1: VARIANT(12).ToDispatch(); break;
                     case 2: VARIANT().ToBool(); break;
                     case 3: VARIANT(1e12).ToInt(); break;
                     }
                 }),
                 message);
        QCOMPARE(VARIANT(QStringLiteral(" 12.5 ")).ToDouble(), 12.5);
        QCOMPARE(VARIANT(true).ToString(), QStringLiteral("True"));
    }

    void registryFindsClassesWithoutCase()
    {
        int alive = 0;
        TClassRegistry registry;
        QCOMPARE(ErrorOf([&] { registry.CreateObject(QStringLiteral("EXCEL.APPLICATION")); }), QStringLiteral("Invalid class string"));
        registry.Register(QStringLiteral("Velmora.Probe"), [&] { return TComPtr<IDispatch>(new TProbe(&alive)); });
        QVERIFY(registry.CreateObject(QStringLiteral("VELMORA.PROBE")));
        QCOMPARE(alive, 0);
        registry.Unregister(QStringLiteral("velmora.probe"));
        QCOMPARE(ErrorOf([&] { registry.CreateObject(QStringLiteral("Velmora.Probe")); }), QStringLiteral("Invalid class string"));
        QVERIFY(ClassRegistry().IsRegistered(QStringLiteral("Excel.Application")));
        QCOMPARE(ErrorOf([] { CreateOleObject(QStringLiteral("Word.Application")); }), QStringLiteral("Invalid class string"));
    }

    void settingsLiveInTheUsersConfigFolder()
    {
        TTestHome home;
        TCalcSettings s = TCalcSettings::Load();
        QCOMPARE(s.Headless, false);
        QVERIFY(s.Profile.startsWith(home.Path()));
        s.Headless = true;
        s.StartTimeoutSeconds = 7;
        s.Save();
        QVERIFY(TCalcSettings::FilePath().startsWith(home.FilePath(QStringLiteral(".config"))));
        const TCalcSettings back = TCalcSettings::Load();
        QCOMPARE(back.Headless, true);
        QCOMPARE(back.StartTimeoutSeconds, 7);
        // One pipe per profile, so a test's office never meets the user's.
        TCalcSettings other = back;
        other.Profile += QStringLiteral("-2");
        QVERIFY(other.PipeName() != back.PipeName());
    }

    // LibreOffice that cannot be reached gives a clear error, never a hang.
    void unreachableOfficeIsAClearError_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such program") << QString() << "LibreOffice Calc cannot be started: the program \"%1\" was not found";
        QTest::newRow("never answers") << "#!/bin/sh\nexec sleep 4\n"
                                       << "LibreOffice Calc did not answer within 1 seconds";
        QTest::newRow("ends at once") << "#!/bin/sh\nexit 1\n"
                                      << "LibreOffice Calc ended before it could be reached (%1)";
    }
    void unreachableOfficeIsAClearError()
    {
        QFETCH(QString, script);
        QFETCH(QString, message);
        TTestHome home;
        TCalcSettings s = TCalcSettings::Defaults();
        s.Headless = true;
        s.StartTimeoutSeconds = script.contains(u"sleep") ? 1 : 30;
        s.Program = home.FilePath(QStringLiteral("soffice"));
        if (!script.isEmpty()) {
            QFile f(s.Program);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(script.toUtf8());
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        s.Save();
        QCOMPARE(ErrorOf([] { CreateOleObject(QStringLiteral("EXCEL.APPLICATION")); }), message.arg(s.Program));
    }

    void serverMissingFromTheRegistry()
    {
        TClassRegistry &registry = ClassRegistry();
        TClassRegistry saved = registry;
        registry.Unregister(QStringLiteral("EXCEL.APPLICATION"));
        const QString text = ErrorOf([] { CreateOleObject(QStringLiteral("EXCEL.APPLICATION")); });
        registry = saved;
        QCOMPARE(text, QStringLiteral("Invalid class string"));
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
