#pragma once

#include "app/Unit1.h"
#include "platform/widgets/Application.h"
#include "support/ContactsDb.h"
#include "support/TestHome.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <memory>

// The program's window on a contacts database of the test's own, in a
// temporary working directory, with every modal box answered here.
class TFormFixture {
public:
    TFormFixture();
    ~TFormFixture();

    // Creates fihrist.mdb with the rows (unless withDatabase is false),
    // builds the window, shows and activates it.
    void Start(const std::vector<TContactRow> &rows, bool withDatabase = true);
    QString DatabasePath() const { return Home.FilePath(QStringLiteral("fihrist.mdb")); }

    // Answers for the coming boxes, in order; when none is queued a
    // question is answered Yes and everything else OK.
    void Answer(int answer) { Answers.push_back(answer); }
    QStringList BoxTexts() const;
    QStringList ErrorTexts() const;
    void ClearBoxes() { Boxes.clear(); }

    // What the grid shows in one column, top to bottom.
    QStringList GridColumn(int column) const;
    int GridCurrentRow() const;
    // Clicks the cell of the grid at row, column.
    void ClickGrid(int row, int column = 0);
    // Types into a bound control as a user would (it must be writable).
    void Type(QWidget *control, const QString &text);

    // Names of the buttons that are enabled, Button1 ... Button9.
    QStringList EnabledButtons() const;
    bool BrowsingConfiguration() const;
    bool EditingConfiguration() const;

    TTestHome Home;
    std::unique_ptr<TApplication> App;
    std::unique_ptr<TForm1> Form;
    QList<TMessageBoxRequest> Boxes;
    std::deque<int> Answers;
};
