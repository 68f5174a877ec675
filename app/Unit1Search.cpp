// The search bar: the list narrowed by a LIKE pattern on one field.
#include "app/Unit1.h"

#include "platform/widgets/Edit.h"
#include "platform/widgets/RadioGroup.h"
#include "store/ADOQuery.h"

QString SearchStatement(int itemIndex)
{
    switch (itemIndex) {
    case 0: return QStringLiteral("SELECT * FROM DBASE WHERE AD LIKE :deger ORDER BY AD");
    case 1: return QStringLiteral("SELECT * FROM DBASE WHERE SOYAD LIKE :deger ORDER BY AD");
    case 2: return QStringLiteral("SELECT * FROM DBASE WHERE CTELEFON LIKE :deger ORDER BY AD");
    case 3: return QStringLiteral("SELECT * FROM DBASE WHERE ETELEFON LIKE :deger ORDER BY AD");
    default: return QString();
    }
}

// Enter in the pattern box runs the search; the key then goes on to the box.
void TForm1::Edit1KeyPress(QObject *, QChar &key)
{
    if (key != u'\r')
        return;
    ADOQuery1->Close();
    ADOQuery1->SQL.Clear();
    ADOQuery1->SQL.Add(SearchStatement(RadioGroup1->ItemIndex()));
    if (Edit1->text().isEmpty())
        Edit1->setText(QStringLiteral("%"));
    ADOQuery1->Parameters.SetValue(0, Edit1->text());
    ADOQuery1->Open();
}

void TForm1::Button10Click(QObject *)
{
    ADOQuery1->Close();
    ADOQuery1->SQL.Clear();
    ADOQuery1->SQL.Add(QString::fromLatin1(AllRecordsStatement));
    ADOQuery1->Open();
}
