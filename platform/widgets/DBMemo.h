#pragma once

#include "platform/widgets/FieldLink.h"

#include <QPlainTextEdit>

// The bound memo (DBMemo1): several lines of one text field.
class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget *parent = nullptr);

    void SetDataSource(TLinkSource *source) { FLink.SetDataSource(source); }
    void SetDataField(const QString &name) { FLink.SetDataField(name); }
    QString DataField() const { return FLink.DataField(); }
    bool Modified() const { return FLink.Modified(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    TFieldLink FLink;
    int FMaxLength = 0;
    bool FSettingText = false;
};
