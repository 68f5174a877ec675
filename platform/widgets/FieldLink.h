#pragma once

#include "platform/core/DataLink.h"

#include <QString>
#include <functional>

// The tie between one bound control and one field of the data source's
// record set. The control shows the field of the current row, is writable
// only while a row is pending (AutoEdit is off), and hands its text to the
// field only when the user typed into it. Of a very long value the control
// shows the head (DisplayHead.h); the link keeps the rest and hands it back
// after the control's text, so the value is never cut.
class TFieldLink final : public TDataLink {
public:
    struct TControl {
        std::function<void(const QString &)> SetText;
        std::function<QString()> Text;
        std::function<void(bool)> SetReadOnly;
        std::function<void(int)> SetMaxLength; // 0: no limit
    };

    explicit TFieldLink(TControl control) : FControl(std::move(control)) {}
    ~TFieldLink() override;

    TLinkSource *DataSource() const { return FDataSource; }
    void SetDataSource(TLinkSource *source);
    QString DataField() const { return FDataField; }
    void SetDataField(const QString &name);

    // The user typed: the text now belongs to the field once handed over.
    void UserEdited() { FModified = true; }
    bool Modified() const { return FModified; }
    // The control's text followed by the part of the value it does not show.
    QString Text() const;

    void DataEvent(TDataEvent event) override;
    void UpdateData() override;

private:
    // The record set and the field's index, when both are there.
    TLinkedDataSet *DataSet(int &field) const;
    bool Editing() const;
    void Refresh();

    TControl FControl;
    TLinkSource *FDataSource = nullptr;
    QString FDataField;
    QString FValue;       // the field's value as last shown
    qsizetype FShown = 0; // how much of it the control shows
    bool FModified = false;
};
