#include "unitKeyPrintLayout.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitTrace.h"

namespace {

QString LockText_str(TDateTime locked) {
    return QStringLiteral("Record locked since %1")
        .arg(FormatDateTime(QStringLiteral("dd/mm/yyyy hh:nn:ss"), locked));
}

} // namespace

TKeyPrintLayout::~TKeyPrintLayout() {
    if (!m_bEdit || !m_store)
        return;
    const QString error = UpdateRecord();
    if (!error.isEmpty())
        DebugLog(error);
}

QString TKeyPrintLayout::SetKeyPrintLayoutID(int layoutID) {
    try {
        Clear();
        SetidxKeyPrintLayoutID(layoutID);
        m_bStored = false;
        m_bEdit = layoutID == 0;
        if (layoutID <= 0)
            return {};
        if (!m_store) {
            m_errorText = QStringLiteral("dmKeyPrintLayout not assigned");
            return m_errorText;
        }
        TKeyPrintLayoutRecord record;
        if (!m_store->ReadLayoutRecord_b(layoutID, record)) {
            m_errorText =
                QStringLiteral("Unable to find definition record for Key Print Layout ID %1")
                    .arg(layoutID);
            MsgCatalogBox(0, 0, {QString(), m_errorText});
            return m_errorText;
        }
        m_bStored = true;
        m_errorText = ReadRecord(record);
        if (m_errorText.isEmpty())
            m_errorText = ReadFieldDefs(layoutID);
        return m_errorText;
    } catch (const std::exception& e) {
        m_errorText = ErrorOccurred_str(QStringLiteral("TKeyPrintLayout.SetKeyPrintLayoutID"), 2,
                                        ExceptionText(e));
        return m_errorText;
    }
}

QString TKeyPrintLayout::ReadRecord(const TKeyPrintLayoutRecord& record) {
    try {
        SetstrName(record.strName);
        SetlngOrientation(record.lngOrientation);
        if (!record.datRecordLocked.IsEmpty())
            m_lockText = LockText_str(record.datRecordLocked);
        return {};
    } catch (const std::exception& e) {
        return ErrorOccurred_str(QStringLiteral("TKeyPrintLayout.ReadRecord"), 1, ExceptionText(e));
    }
}

QString TKeyPrintLayout::ReadFieldDefs(int layoutID) {
    try {
        if (!m_store)
            return QStringLiteral("dmKeyPrintLayout not assigned");
        for (const TKeyPrintFieldDefRow& row : m_store->ReadFieldDefRows(layoutID)) {
            TKeyPrintFieldDef& field = AddField();
            field.idxKeyPrintLayoutID = row.idxKeyPrintLayoutID;
            field.idxFieldID = row.idxFieldID;
            field.strFont_Name = row.strFont_Name.left(50);
            field.intFont_Charset = row.intFont_Charset & 0xFF;
            field.intFont_Pitch = row.intFont_Pitch;
            field.intFont_Size = row.intFont_Size;
            field.intFont_Style = row.intFont_Style;
            field.intXPos = row.intXPos;
            field.intYPos = row.intYPos;
        }
        return {};
    } catch (const std::exception& e) {
        return ErrorOccurred_str(QStringLiteral("TKeyPrintLayout.ReadFieldDefs"), 1,
                                 ExceptionText(e));
    }
}

QString TKeyPrintLayout::UpdateRecord() {
    try {
        if (!m_store)
            return QStringLiteral("dmKeyPrintLayout not assigned");
        TKeyPrintLayoutRecord record;
        record.idxKeyPrintLayoutID = idxKeyPrintLayoutID();
        record.strName = strName();
        record.lngOrientation = lngOrientation();
        record.datRecordLocked = TDateTime::Now();
        if (!m_bStored) {
            m_store->AppendLayoutRecord(record);
            m_bStored = true;
        } else if (!m_store->UpdateLayoutRecord_b(record)) {
            return QStringLiteral("CANNOT UPDATE : Unable to find KeyPrintLayoutID: %1")
                .arg(record.idxKeyPrintLayoutID);
        }
        m_lockText = LockText_str(record.datRecordLocked);
        return {};
    } catch (const std::exception& e) {
        return ErrorOccurred_str(QStringLiteral("TKeyPrintLayout.UpdateRecord"), 1,
                                 ExceptionText(e));
    }
}

QByteArray LayoutTextForStation(IKeyPrintLayoutStore* store, int layoutID, QString& errorText) {
    TKeyPrintLayout layout(store);
    errorText = layout.SetKeyPrintLayoutID(layoutID);
    // The station only reads the layout.
    layout.SetEditing(false);
    if (!errorText.isEmpty())
        return {};
    return layout.GetCommString();
}
