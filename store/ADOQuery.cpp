#include "store/ADOQuery.h"

#include "store/ADOConnection.h"
#include "store/ADOQueryImpl.h"
#include "store/DataSource.h"
#include "store/Provider.h"

namespace {

// Rows Open reads before it returns: more than a screen of the grid.
constexpr std::size_t kFirstRows = 256;

} // namespace

TADOQuery::TADOQuery() : d(std::make_unique<TImpl>()) {}

TADOQuery::~TADOQuery()
{
    if (FDataSource && FDataSource->DataSet() == this)
        FDataSource->SetDataSet(nullptr);
    FDataSource = nullptr;
    if (FConnection)
        FConnection->DetachDataSet(this);
}

void TADOQuery::SetConnection(TADOConnection *c)
{
    if (FConnection == c)
        return;
    Close();
    if (FConnection)
        FConnection->DetachDataSet(this);
    FConnection = c;
    if (FConnection)
        FConnection->AttachDataSet(this);
}

TDataSetState TADOQuery::State() const
{
    return d->State;
}

// -- notifications ---------------------------------------------------------

void TADOQuery::Notify(TDataEvent event)
{
    if (FDataSource)
        FDataSource->Notify(event);
}

void TADOQuery::SetState(TDataSetState state)
{
    if (d->State == state)
        return;
    d->State = state;
    Notify(TDataEvent::StateChanged);
}

void TADOQuery::UpdateData()
{
    if (FDataSource)
        FDataSource->UpdateData();
}

void TADOQuery::CheckActive() const
{
    if (d->State == rsClosed)
        throw EDatabaseError(ClosedText());
}

void TADOQuery::CheckWritable() const
{
    if (!d->Table.Updatable)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TADOQuery::FinishPending()
{
    if (!d->Editing())
        return;
    UpdateData();
    if (!d->Editing())
        return;
    if (Modified())
        WritePending();
    else
        Cancel();
}

// -- open and close --------------------------------------------------------

void TADOQuery::Open()
{
    if (Active())
        return;
    if (!FConnection)
        throw EDatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    // A server cannot take a NUL in a text: refused alike on every provider.
    for (int k = 0; k < Parameters.Count(); ++k)
        if (Parameters[k].Value && Parameters[k].Value->contains(QChar(0)))
            throw EDatabaseError(QStringLiteral("The value of %1 holds a NUL character (code 0), which a search "
                                                "cannot hold")
                                     .arg(Parameters[k].Name));
    FConnection->Open();

    QStringList names;
    std::vector<TParameterValue> values;
    for (int k = 0; k < Parameters.Count(); ++k) {
        names << Parameters[k].Name;
        values.push_back(Parameters[k].Value);
    }
    TResultTable table;
    std::vector<TResultColumn> columns;
    // The first screen at once; the rest from the event loop.
    std::unique_ptr<TRowStream> rest = FConnection->Engine()->SelectFirst(SQL.Text(), names, values, d->Rows, columns, table, kFirstRows);
    const int n = int(columns.size());

    // The same columns as before keep their field objects.
    bool same = d->Fields.size() == columns.size();
    for (int c = 0; same && c < n; ++c) {
        const TField *f = d->Fields[std::size_t(c)].get();
        const TResultColumn &col = columns[std::size_t(c)];
        same = f->FieldName() == col.Name && f->DataType() == col.Type && f->Size() == col.Size;
    }
    if (!same) {
        d->Fields.clear();
        for (int c = 0; c < n; ++c) {
            const TResultColumn &col = columns[std::size_t(c)];
            d->Fields.push_back(std::make_unique<TField>(this, c, col.Name, col.Type, col.Size));
        }
    }
    d->Columns = std::move(columns);
    d->Table = std::move(table);
    StartFetching(std::move(rest));
    d->Cursor = d->RowCount() ? 0 : -1;
    d->Eof = d->RowCount() == 0;
    d->Bof = true;
    SetState(rsBrowse);
    Notify(TDataEvent::DataSetChanged);
}

void TADOQuery::Close()
{
    if (!Active())
        return;
    EndFetching();
    d->Failure.clear();
    d->Rows.Clear();
    d->Pending.clear();
    d->Changed.clear();
    d->Cursor = -1;
    d->Eof = d->Bof = true;
    SetState(rsClosed);
    Notify(TDataEvent::DataSetChanged);
}

void TADOQuery::StatementChanged()
{
    Close();
    Parameters.Rebuild(SQL.Text());
}

// -- fields ----------------------------------------------------------------

int TADOQuery::FieldCount() const
{
    return d->State == rsClosed ? 0 : int(d->Fields.size());
}

TField *TADOQuery::Fields(int index) const
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return d->Fields[std::size_t(index)].get();
}

TField *TADOQuery::FindField(const QString &name) const
{
    for (int i = 0; i < FieldCount(); ++i)
        if (d->Fields[std::size_t(i)]->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return d->Fields[std::size_t(i)].get();
    return nullptr;
}

int TADOQuery::FieldIndex(const QString &name) const
{
    const TField *field = FindField(name);
    return field ? field->Index() : -1;
}

int TADOQuery::FieldWidth(int fieldIndex) const
{
    return Fields(fieldIndex)->Size();
}

TField *TADOQuery::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name))
        return f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

void TADOQuery::CheckFieldIndex(int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= int(d->Columns.size()))
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(fieldIndex));
}

bool TADOQuery::FieldIsNull(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return d->CurrentCell(fieldIndex).Kind == TCellKind::Null;
}

QString TADOQuery::FieldText(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return CellText(d->CurrentCell(fieldIndex), d->Columns[std::size_t(fieldIndex)].Type);
}

double TADOQuery::FieldDateTime(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    return CellDateTime(d->CurrentCell(fieldIndex));
}

void TADOQuery::SetFieldText(int fieldIndex, const std::optional<QString> &value)
{
    if (!d->Editing())
        RaiseNotEditing();
    CheckFieldIndex(fieldIndex);
    const auto i = std::size_t(fieldIndex);
    d->Pending[i] = value ? CellFromText(*value, d->Columns[i].Type) : TCellValue();
    d->Changed[i] = true;
    Notify(TDataEvent::RecordChanged);
}

std::size_t TADOQuery::SnapshotBytes() const
{
    std::size_t bytes = d->Rows.Bytes();
    for (const TCellValue &v : d->Pending)
        bytes += sizeof v + std::size_t(v.Bytes.capacity());
    return bytes;
}
