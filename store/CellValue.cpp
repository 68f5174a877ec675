#include "store/CellValue.h"

#include "platform/core/Exception.h"
#include "store/Statement.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <sqlite3.h>

#include <cmath>

TCellValue TCellValue::FromView(const TCellView &view)
{
    TCellValue v;
    v.Kind = view.Kind;
    v.Int = view.Int;
    v.Float = view.Float;
    if (view.Kind == TCellKind::Text || view.Kind == TCellKind::Blob)
        v.Bytes = QByteArray(view.Data ? view.Data : "", qsizetype(view.Size));
    return v;
}

TCellValue TCellValue::FromColumn(const TStatement &stmt, int col)
{
    TCellValue v;
    switch (stmt.ColumnType(col)) {
    case SQLITE_INTEGER:
        v.Kind = TCellKind::Integer;
        v.Int = stmt.ColumnInt64(col);
        break;
    case SQLITE_FLOAT:
        v.Kind = TCellKind::Float;
        v.Float = stmt.ColumnDouble(col);
        break;
    case SQLITE_TEXT:
        v.Kind = TCellKind::Text;
        v.Bytes = stmt.ColumnBytes(col);
        break;
    case SQLITE_BLOB:
        v.Kind = TCellKind::Blob;
        v.Bytes = stmt.ColumnBytes(col);
        break;
    default: break;
    }
    return v;
}

void TCellValue::Bind(TStatement &stmt, int pos) const
{
    switch (Kind) {
    case TCellKind::Null: stmt.BindNull(pos); break;
    case TCellKind::Integer: stmt.BindInt64(pos, Int); break;
    case TCellKind::Float: stmt.BindDouble(pos, Float); break;
    case TCellKind::Text: stmt.BindText(pos, Bytes); break;
    case TCellKind::Blob: stmt.BindBlob(pos, Bytes); break;
    }
}

static QString FloatText(double d)
{
    // Plain decimal form for the values people type; the exponent form only
    // for magnitudes that have no short plain form.
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(d, 'f', 0);
    return QString::number(d, 'g', 15);
}

static bool TextIsTrue(const QString &t, bool &known)
{
    known = true;
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1")
        || t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0")
        || t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
        return false;
    known = false;
    return false;
}

QString CellText(const TCellView &cell, TFieldType type)
{
    if (type == ftBoolean) {
        switch (cell.Kind) {
        case TCellKind::Null: return QString();
        case TCellKind::Integer: return cell.Int ? QStringLiteral("True") : QStringLiteral("False");
        case TCellKind::Float: return cell.Float != 0 ? QStringLiteral("True") : QStringLiteral("False");
        default: {
            const QString t = QString::fromUtf8(cell.Data, qsizetype(cell.Size));
            bool known = false;
            const bool on = TextIsTrue(t, known);
            return known ? (on ? QStringLiteral("True") : QStringLiteral("False")) : t;
        }
        }
    }
    switch (cell.Kind) {
    case TCellKind::Null: return QString();
    case TCellKind::Integer: return QString::number(cell.Int);
    case TCellKind::Float: return FloatText(cell.Float);
    case TCellKind::Text:
    case TCellKind::Blob: return QString::fromUtf8(cell.Data, qsizetype(cell.Size));
    }
    return QString();
}

TCellValue CellFromText(const QString &text, TFieldType type)
{
    if (type == ftBoolean) {
        bool known = false;
        const bool on = TextIsTrue(text.trimmed(), known);
        if (known)
            return {TCellKind::Integer, on ? 1 : 0, 0, {}};
    }
    return TCellValue::FromText(text);
}

static double DaysFromDate(const QDate &date)
{
    return double(QDate(1899, 12, 30).daysTo(date));
}

static double FractionFromTime(const QTime &time)
{
    return time.msecsSinceStartOfDay() / 86400000.0;
}

double CellDateTime(const TCellView &cell)
{
    switch (cell.Kind) {
    case TCellKind::Null: return 0;
    case TCellKind::Integer: return double(cell.Int);
    case TCellKind::Float: return cell.Float;
    default: break;
    }
    const QString text = QString::fromUtf8(cell.Data, qsizetype(cell.Size)).trimmed();
    if (text.isEmpty())
        return 0;
    static const QRegularExpression re(
        QStringLiteral(R"(^(?:(\d{4})-(\d{1,2})-(\d{1,2}))?(?:(?:^|[ T])(\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,9}))?)?)?$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (m.hasMatch() && (m.capturedLength(1) > 0 || m.capturedLength(4) > 0)) {
        double result = 0;
        if (m.capturedLength(1) > 0) {
            const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            if (!date.isValid())
                throw EDatabaseError(QStringLiteral("'%1' is not a valid date and time").arg(text));
            result = DaysFromDate(date);
        }
        if (m.capturedLength(4) > 0) {
            int ms = 0;
            if (m.capturedLength(7) > 0)
                ms = (m.captured(7) + QStringLiteral("00")).left(3).toInt();
            const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms);
            if (!time.isValid())
                throw EDatabaseError(QStringLiteral("'%1' is not a valid date and time").arg(text));
            result += FractionFromTime(time);
        }
        return result;
    }
    bool ok = false;
    const double days = text.toDouble(&ok);
    if (ok)
        return days;
    throw EDatabaseError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}
