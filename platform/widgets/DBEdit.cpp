#include "platform/widgets/DBEdit.h"

TDBEdit::TDBEdit(QWidget *parent)
    : TEdit(parent),
      FLink({[this](const QString &t) {
                 setText(t);
                 setCursorPosition(0);
             },
             [this] { return text(); }, [this](bool ro) { setReadOnly(ro); }, [this](int n) { setMaxLength(n > 0 ? n : 32767); }})
{
    setReadOnly(true);
    connect(this, &QLineEdit::textEdited, this, [this] { FLink.UserEdited(); });
}
