#include "platform/widgets/DBMemo.h"

#include <QKeyEvent>
#include <QMimeData>

TDBMemo::TDBMemo(QWidget *parent)
    : QPlainTextEdit(parent),
      FLink({[this](const QString &t) {
                 FSettingText = true;
                 setPlainText(t);
                 FSettingText = false;
             },
             [this] { return toPlainText(); }, [this](bool ro) { setReadOnly(ro); }, [this](int n) { FMaxLength = n; }})
{
    setReadOnly(true);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!FSettingText && !isReadOnly())
            FLink.UserEdited();
    });
}

// The field's width limits what can be typed, as in the edit boxes.
void TDBMemo::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool adds = !typed.isEmpty() && (typed.at(0).isPrint() || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter);
    if (adds && FMaxLength > 0 && !textCursor().hasSelection() && toPlainText().size() >= FMaxLength)
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::insertFromMimeData(const QMimeData *source)
{
    if (FMaxLength <= 0 || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const qsizetype room = FMaxLength - toPlainText().size() + textCursor().selectedText().size();
    if (room > 0)
        textCursor().insertText(source->text().left(room));
}
