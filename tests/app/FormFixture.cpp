#include "FormFixture.h"

#include "platform/widgets/DBGrid.h"
#include "store/ADOQuery.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QtTest>

TFormFixture::TFormFixture() : App(std::make_unique<TApplication>(QStringLiteral("/usr/bin/velmora-rehber")))
{
    App->SetMessageBoxHandler([this](const TMessageBoxRequest &request) {
        Boxes << request;
        if (!Answers.empty()) {
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        }
        return request.Kind == TMessageKind::Question ? IDYES : IDOK;
    });
}

TFormFixture::~TFormFixture()
{
    Form.reset();
    App.reset();
}

void TFormFixture::Start(const std::vector<TContactRow> &rows, bool withDatabase)
{
    if (withDatabase)
        MakeContactsDatabase(DatabasePath(), rows);
    Form = std::make_unique<TForm1>();
    App->SetMainWindow(Form.get());
    Form->show();
    QApplication::setActiveWindow(Form.get());
    QVERIFY(QTest::qWaitForWindowActive(Form.get()));
}

QStringList TFormFixture::BoxTexts() const
{
    QStringList texts;
    for (const TMessageBoxRequest &box : Boxes)
        texts << box.Text;
    return texts;
}

QStringList TFormFixture::ErrorTexts() const
{
    QStringList texts;
    for (const TMessageBoxRequest &box : Boxes)
        if (box.Kind == TMessageKind::Error)
            texts << box.Text;
    return texts;
}

QStringList TFormFixture::GridColumn(int column) const
{
    QStringList texts;
    const QAbstractItemModel *model = Form->DBGrid1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

int TFormFixture::GridCurrentRow() const
{
    return Form->DBGrid1->currentIndex().row();
}

void TFormFixture::ClickGrid(int row, int column)
{
    TDBGrid *grid = Form->DBGrid1;
    const QModelIndex index = grid->model()->index(row, column);
    grid->scrollTo(index);
    const QRect cell = grid->visualRect(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void TFormFixture::Type(QWidget *control, const QString &text)
{
    control->setFocus();
    for (const QChar c : text) {
        if (c.unicode() >= 32 && c.unicode() < 127) {
            QTest::keyClick(control, char(c.unicode()));
            continue;
        }
        // Letters beyond ASCII arrive as key events that carry only text.
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(control, &press);
        QApplication::sendEvent(control, &release);
    }
}

QStringList TFormFixture::EnabledButtons() const
{
    QStringList names;
    for (QPushButton *b : {Form->Button1, Form->Button2, Form->Button3, Form->Button4, Form->Button5, Form->Button6, Form->Button7,
                           Form->Button8, Form->Button9})
        if (b->isEnabled())
            names << b->objectName();
    return names;
}

bool TFormFixture::BrowsingConfiguration() const
{
    return EnabledButtons() == QStringList{QStringLiteral("Button1"), QStringLiteral("Button2"), QStringLiteral("Button3"),
                                           QStringLiteral("Button5"), QStringLiteral("Button6"), QStringLiteral("Button7"),
                                           QStringLiteral("Button8")}
    && Form->DBGrid1->isEnabled() && Form->DBGrid1->AutoPopup();
}

bool TFormFixture::EditingConfiguration() const
{
    return EnabledButtons() == QStringList{QStringLiteral("Button4"), QStringLiteral("Button9")} && !Form->DBGrid1->isEnabled()
        && !Form->DBGrid1->AutoPopup();
}
