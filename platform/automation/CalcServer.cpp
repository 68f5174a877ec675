#include "platform/automation/CalcServer.h"

#include "platform/automation/CalcCellWriter.h"
#include "platform/automation/CalcOffice.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/UnoText.h"
#include "platform/automation/Variant.h"
#include "platform/core/Exception.h"
#include "platform/core/WindowsPath.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>

#include <QFileInfo>
#include <QUrl>

#include <cmath>
#include <memory>

using namespace css;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// A spreadsheet column width in characters is a count of the widths of the
// digit "0" in the default font (what Excel means by ColumnWidth, and how
// LibreOffice itself reads Excel widths). Calc's default cell font is
// Liberation Sans 10 pt, whose "0" advances 1139/2048 em: 10 pt x 1139/2048
// = 5.562 pt = 1.962 mm, i.e. 196.2 of Calc's 1/100 mm units per character.
constexpr double kCharWidth100thMm = 10.0 * 2540.0 / 72.0 * 1139.0 / 2048.0;

// What the objects of one application object share: the connection, the
// cells waiting to be written, and the documents this application made.
struct TCalcSession {
    std::shared_ptr<TCalcOffice> Office;
    TCalcCellWriter Writer;
    bool Visible = false;
    bool DisplayAlerts = true;
    std::vector<Reference<frame::XModel>> Documents;

    ~TCalcSession()
    {
        try {
            Writer.Flush();
        } catch (...) {
            // Released after LibreOffice went away: nothing left to write to.
        }
    }

    void Show(const Reference<frame::XModel> &model)
    {
        if (Office->Headless() || !model.is())
            return;
        const Reference<frame::XController> controller = model->getCurrentController();
        if (!controller.is())
            return;
        const Reference<awt::XWindow> window = controller->getFrame()->getContainerWindow();
        window->setVisible(true);
        const Reference<awt::XTopWindow> top(window, UNO_QUERY);
        if (top.is())
            top->toFront();
    }
};
using TSessionPtr = std::shared_ptr<TCalcSession>;

bool IsGet(WORD flags)
{
    return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0 && (flags & DISPATCH_PROPERTYPUT) == 0;
}
bool IsPut(WORD flags)
{
    return (flags & DISPATCH_PROPERTYPUT) != 0;
}

void SetResult(VARIANT *result, VARIANT value)
{
    if (result)
        *result = std::move(value);
}

// The base of the server's objects: every member but a cell write first
// writes the cells pending, and UNO errors become EOleError.
class TCalcObject : public TAutoObject {
public:
    void Invoke(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) final
    {
        AtCalcServer([&] {
            if (!IsCellWrite(member, flags))
                FSession->Writer.Flush();
            Member(member, flags, params, result);
        });
    }

protected:
    TCalcObject(TSessionPtr session, QStringList members) : TAutoObject(std::move(members)), FSession(std::move(session)) {}
    virtual bool IsCellWrite(DISPID, WORD) const { return false; }
    virtual void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) = 0;

    TSessionPtr FSession;
};

class TCalcColumn : public TCalcObject {
public:
    TCalcColumn(TSessionPtr session, Reference<beans::XPropertySet> column)
        : TCalcObject(std::move(session), {QStringLiteral("ColumnWidth")}), FColumn(std::move(column))
    {
    }

protected:
    void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        if (IsPut(flags)) {
            const double chars = PutValue(params).ToDouble();
            if (!(chars >= 0 && chars <= 255))
                throw EOleError(QStringLiteral("Unable to set the ColumnWidth property of the Range class"));
            FColumn->setPropertyValue(rtl::OUString("Width"), Any(sal_Int32(std::lround(chars * kCharWidth100thMm))));
        } else if (IsGet(flags)) {
            sal_Int32 width = 0;
            FColumn->getPropertyValue(rtl::OUString("Width")) >>= width;
            SetResult(result, VARIANT(double(width) / kCharWidth100thMm));
        } else {
            MemberNotFound();
        }
    }

private:
    Reference<beans::XPropertySet> FColumn;
};

class TCalcWorksheet : public TCalcObject {
    enum { Cells = 1, Columns };

public:
    TCalcWorksheet(TSessionPtr session, Reference<sheet::XSpreadsheet> sheet)
        : TCalcObject(std::move(session), {QStringLiteral("Cells"), QStringLiteral("Columns")}), FSheet(std::move(sheet))
    {
    }
    ~TCalcWorksheet() override
    {
        try {
            FSession->Writer.Flush();
        } catch (...) {
            // Released after LibreOffice went away.
        }
    }

protected:
    bool IsCellWrite(DISPID member, WORD flags) const override { return member == Cells && IsPut(flags); }

    void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        if (member == Cells && IsPut(flags)) {
            if (PositionalCount(params) != 2)
                BadParamCount();
            const int row = Positional(params, 0).ToInt();
            const int column = Positional(params, 1).ToInt();
            if (row < 1 || column < 1)
                BadIndex();
            FSession->Writer.Put(FSheet, column - 1, row - 1, CellValue(PutValue(params)));
        } else if (member == Columns && IsGet(flags)) {
            if (PositionalCount(params) != 1)
                BadParamCount();
            const int column = Positional(params, 0).ToInt();
            const Reference<container::XIndexAccess> columns(Reference<table::XColumnRowRange>(FSheet, UNO_QUERY_THROW)->getColumns(),
                                                             UNO_QUERY_THROW);
            if (column < 1 || column > columns->getCount())
                BadIndex();
            Reference<beans::XPropertySet> col(columns->getByIndex(column - 1), UNO_QUERY_THROW);
            SetResult(result, VARIANT(TComPtr<IDispatch>(new TCalcColumn(FSession, col))));
        } else {
            MemberNotFound();
        }
    }

private:
    // Strings are stored as text exactly as given; numbers as numbers.
    static Any CellValue(const VARIANT &v)
    {
        switch (v.vt) {
        case VT_EMPTY: return Any(rtl::OUString());
        case VT_BSTR: return Any(ToOUString(v.bstrVal));
        case VT_I4:
        case VT_I4 | VT_BYREF:
        case VT_R8: return Any(v.ToDouble());
        case VT_BOOL: return Any(v.ToBool() ? 1.0 : 0.0);
        default: throw EOleError(QStringLiteral("Type mismatch"));
        }
    }

    Reference<sheet::XSpreadsheet> FSheet;
};

class TCalcWorkbook : public TCalcObject {
    enum { Worksheets = 1, SaveCopyAs };

public:
    TCalcWorkbook(TSessionPtr session, Reference<frame::XModel> model)
        : TCalcObject(std::move(session), {QStringLiteral("Worksheets"), QStringLiteral("SaveCopyAs")}), FModel(std::move(model))
    {
    }

protected:
    void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        if (member == Worksheets && IsGet(flags)) {
            if (PositionalCount(params) != 1)
                BadParamCount();
            const int index = Positional(params, 0).ToInt();
            const Reference<container::XIndexAccess> sheets(Reference<sheet::XSpreadsheetDocument>(FModel, UNO_QUERY_THROW)->getSheets(),
                                                            UNO_QUERY_THROW);
            if (index < 1 || index > sheets->getCount())
                BadIndex();
            Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(index - 1), UNO_QUERY_THROW);
            SetResult(result, VARIANT(TComPtr<IDispatch>(new TCalcWorksheet(FSession, sheet))));
        } else if (member == SaveCopyAs && (flags & DISPATCH_METHOD)) {
            if (PositionalCount(params) != 1)
                BadParamCount();
            Store(Positional(params, 0).ToString());
        } else {
            MemberNotFound();
        }
    }

private:
    void Store(const QString &name)
    {
        const QString path = LocalPathFor(name);
        const QString suffix = QFileInfo(path).suffix().toLower();
        rtl::OUString filter("MS Excel 97");
        if (suffix == u"xlsx")
            filter = rtl::OUString("Calc MS Excel 2007 XML");
        else if (suffix == u"ods")
            filter = rtl::OUString("calc8");
        uno::Sequence<beans::PropertyValue> args(2);
        args.getArray()[0].Name = "FilterName";
        args.getArray()[0].Value <<= filter;
        args.getArray()[1].Name = "Overwrite";
        args.getArray()[1].Value <<= true;
        const rtl::OUString url = ToOUString(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
        try {
            Reference<frame::XStorable>(FModel, UNO_QUERY_THROW)->storeToURL(url, args);
        } catch (const lang::DisposedException &) {
            throw;
        } catch (const uno::Exception &) {
            // Calc's own text here is a code and source locations.
            throw EOleError(QStringLiteral("The workbook could not be saved as \"%1\"").arg(path));
        }
    }

    Reference<frame::XModel> FModel;
};

class TCalcWorkbooks : public TCalcObject {
public:
    explicit TCalcWorkbooks(TSessionPtr session) : TCalcObject(std::move(session), {QStringLiteral("Add")}) {}

protected:
    void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        if (!IsGet(flags))
            MemberNotFound();
        if (PositionalCount(params) != 0)
            BadParamCount();
        uno::Sequence<beans::PropertyValue> args(1);
        args.getArray()[0].Name = "Hidden";
        args.getArray()[0].Value <<= bool(!FSession->Visible && !FSession->Office->Headless());
        const Reference<lang::XComponent> doc =
            FSession->Office->Desktop()->loadComponentFromURL(rtl::OUString("private:factory/scalc"), rtl::OUString("_blank"), 0, args);
        Reference<frame::XModel> model(doc, UNO_QUERY_THROW);
        FSession->Documents.push_back(model);
        if (FSession->Visible)
            FSession->Show(model);
        SetResult(result, VARIANT(TComPtr<IDispatch>(new TCalcWorkbook(FSession, model))));
    }
};

class TCalcApplication : public TCalcObject {
    enum { Visible = 1, Workbooks, DisplayAlerts };

public:
    explicit TCalcApplication(TSessionPtr session)
        : TCalcObject(std::move(session), {QStringLiteral("Visible"), QStringLiteral("Workbooks"), QStringLiteral("DisplayAlerts")})
    {
    }

protected:
    void Member(DISPID member, WORD flags, const DISPPARAMS &params, VARIANT *result) override
    {
        MemberName(member);
        // Like every member of the application, these talk to LibreOffice,
        // so that one that went away is reported at once.
        FSession->Office->Desktop()->getCurrentFrame();
        switch (member) {
        case Visible:
            if (IsPut(flags)) {
                FSession->Visible = PutValue(params).ToBool();
                if (FSession->Visible) {
                    for (const auto &model : FSession->Documents)
                        FSession->Show(model);
                }
            } else if (IsGet(flags)) {
                SetResult(result, VARIANT(FSession->Visible));
            } else {
                MemberNotFound();
            }
            break;
        case Workbooks:
            if (!IsGet(flags))
                MemberNotFound();
            SetResult(result, VARIANT(TComPtr<IDispatch>(new TCalcWorkbooks(FSession))));
            break;
        case DisplayAlerts:
            if (IsPut(flags)) {
                FSession->DisplayAlerts = PutValue(params).ToBool();
            } else if (IsGet(flags)) {
                SetResult(result, VARIANT(FSession->DisplayAlerts));
            } else {
                MemberNotFound();
            }
            break;
        default: MemberNotFound();
        }
    }
};

} // namespace

void RegisterCalcServer(TClassRegistry &registry)
{
    registry.Register(QStringLiteral("EXCEL.APPLICATION"), [] {
        auto session = std::make_shared<TCalcSession>();
        session->Office = TCalcOffice::Reach(TCalcSettings::Load());
        return TComPtr<IDispatch>(new TCalcApplication(std::move(session)));
    });
}
