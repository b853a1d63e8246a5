#pragma once
// A card print layout loaded from (and edited in) the database.

#include "DateTime.h"
#include "unitKeyPrintLayoutBase.h"

#include <QList>
#include <QString>

// A KeyPrintLayout row.
struct TKeyPrintLayoutRecord {
    int idxKeyPrintLayoutID = 0;
    QString strName;
    int lngOrientation = kOrientationLandscape;
    TDateTime datRecordLocked;
};

// A KeyPrintFieldDef row.
struct TKeyPrintFieldDefRow {
    int idxKeyPrintLayoutID = 0;
    int idxFieldID = 0;
    QString strFont_Name;
    int intFont_Charset = 0;
    int intFont_Pitch = 0;
    int intFont_Size = 0;
    int intFont_Style = 0;
    int intXPos = 0;
    int intYPos = 0;
};

// What the layout needs of its data module (TdmKeyPrintLayout: qryKeyPrintLayoutEdit and
// qryFieldDefEdit). Database faults are raised as exceptions; the layout turns them into texts.
class IKeyPrintLayoutStore {
public:
    virtual ~IKeyPrintLayoutStore() = default;
    // The KeyPrintLayout row with the id; false when there is none.
    virtual bool ReadLayoutRecord_b(int layoutID, TKeyPrintLayoutRecord& record) = 0;
    // The KeyPrintFieldDef rows of the layout in the order the query gives them.
    virtual QList<TKeyPrintFieldDefRow> ReadFieldDefRows(int layoutID) = 0;
    // Appends the row (its id already allocated by the caller).
    virtual void AppendLayoutRecord(const TKeyPrintLayoutRecord& record) = 0;
    // Writes the row back; false when it no longer exists.
    virtual bool UpdateLayoutRecord_b(const TKeyPrintLayoutRecord& record) = 0;
};

class TKeyPrintLayout : public TKeyPrintLayoutBase {
public:
    // store may be null ("dmKeyPrintLayout not assigned"); it must outlive the layout.
    explicit TKeyPrintLayout(IKeyPrintLayoutStore* store) : m_store(store) {}
    ~TKeyPrintLayout() override;

    // Loads the layout; id 0 starts a new one in edit mode. Returns the error text.
    QString SetKeyPrintLayoutID(int layoutID);
    QString ReadRecord(const TKeyPrintLayoutRecord& record);
    QString ReadFieldDefs(int layoutID);

    bool Editing() const { return m_bEdit; }
    void SetEditing(bool edit) { m_bEdit = edit; }
    // Appends (edit mode of a new layout) or edits the KeyPrintLayout row and stamps
    // datRecordLocked. Returns the error text.
    QString UpdateRecord();

private:
    IKeyPrintLayoutStore* m_store;
    bool m_bEdit = false;
    bool m_bStored = false; // the row exists in the database
};

// The layout text of a layout in the database, for a station of interface type 2.
QByteArray LayoutTextForStation(IKeyPrintLayoutStore* store, int layoutID, QString& errorText);
