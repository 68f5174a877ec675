#pragma once

#include "platform/widgets/Edit.h"
#include "platform/widgets/FieldLink.h"

// A bound edit box (DBEdit1 ... DBEdit6).
class TDBEdit : public TEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget *parent = nullptr);

    void SetDataSource(TLinkSource *source) { FLink.SetDataSource(source); }
    void SetDataField(const QString &name) { FLink.SetDataField(name); }
    QString DataField() const { return FLink.DataField(); }
    bool Modified() const { return FLink.Modified(); }
    // What the box holds for its field: its text, and of a very long value
    // also the part it does not show.
    QString Text() const { return FLink.Text(); }

private:
    TFieldLink FLink;
};
