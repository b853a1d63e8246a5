#include "DateTime.h"
#include "DbFixture.h"
#include "UlmexMsgBox.h"
#include "dmodSystem.h"
#include "unitDataSet.h"
#include "unitUtils.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

// Boxes shown while a test runs, as "title|left text".
class TShownBoxes {
public:
    TShownBoxes() {
        g_UlmexMsgBox_Override.fn = [this](const QString& title, const QString&,
                                           const QString& left, bool, int, TUlmexIconType,
                                           TUlmexDefaultButtonType, TUlmexButtonsType, void*) {
            texts << title + QLatin1Char('|') + left;
            return -2;
        };
    }
    ~TShownBoxes() { g_UlmexMsgBox_Override.fn = nullptr; }
    QStringList texts;
};

class DataSetTest : public ::testing::Test {
protected:
    TEmbeddedSite site;
    TdmSystem sys;
    void SetUp() override {
        ASSERT_TRUE(site.error.isEmpty()) << site.error.toStdString();
        sys.Database1.SetDatabase(site.MainDb());
        sys.Database1.Open();
        sys.Database1.Exec(
            QStringLiteral("INSERT INTO Users (idxUserID, strUserID, strPassword_New, bAdmin, "
                           "datDeleted, intInvalidLogonCount) "
                           "VALUES (7, 'ANNA', '414243', -1, NULL, NULL)"));
    }
    void TearDown() override { DataSetRetryPause_Set(nullptr); }

    std::unique_ptr<TFbConnection> OtherConnection() {
        auto c = std::make_unique<TFbConnection>();
        c->SetDatabase(site.MainDb());
        c->Open();
        return c;
    }
    int64_t StoredSerial() {
        TFbConnection c;
        c.SetDatabase(site.MainDb());
        c.Open();
        return c.Query(QStringLiteral("SELECT lngSerialNum FROM SerialNum WHERE idxID = 1"))
            .Int(0, QStringLiteral("lngSerialNum"));
    }
};

TEST_F(DataSetTest, PostAppendAndDeleteReachTheDatabaseAtOnce) {
    const auto serial = sys.qrySerialNum();
    ASSERT_TRUE(DataSetOpen_b(*serial, true));
    ASSERT_EQ(serial->RecordCount(), 1);
    ASSERT_TRUE(DataSetMethod_Retry_b(QStringLiteral("edit"), *serial, 5, false));
    serial->SetFieldValue(QStringLiteral("lngSerialNum"), 4321);
    ASSERT_TRUE(DataSetMethod_Retry_b(QStringLiteral("post"), *serial, 5, false))
        << "lower case works as POST";
    EXPECT_EQ(StoredSerial(), 4321);

    const auto next = sys.qryNextIDClient();
    ASSERT_TRUE(DataSetOpen_b(*next, true));
    const int before = next->RecordCount();
    ASSERT_TRUE(DataSetMethod_Retry_b(QStringLiteral("Append"), *next, 5, false));
    next->SetFieldValue(QStringLiteral("strTableName"), QStringLiteral("KEYS"));
    next->SetFieldValue(QStringLiteral("idxNextID"), 1);
    next->SetFieldValue(QStringLiteral("lngMaxID"), 0);
    ASSERT_TRUE(DataSetMethod_Retry_b(QStringLiteral("POST"), *next, 5, false));
    const auto other = OtherConnection();
    EXPECT_EQ(other->Query(QStringLiteral("SELECT * FROM NextIDClient WHERE strTableName = 'KEYS'"))
                  .RowCount(),
              1);

    ASSERT_TRUE(next->Locate(QStringLiteral("STRTABLENAME"), QStringLiteral("keys"), true));
    next->Delete();
    EXPECT_EQ(next->RecordCount(), before);
    EXPECT_TRUE(
        other->Query(QStringLiteral("SELECT * FROM NextIDClient WHERE strTableName = 'KEYS'"))
            .IsEmpty());
}

TEST_F(DataSetTest, CancelRestoresTheRowAndReleasesItsLock) {
    const auto a = sys.qrySerialNum();
    a->Open();
    const QVariant old = a->FieldValue(QStringLiteral("lngSerialNum"));
    a->Edit();
    a->SetFieldValue(QStringLiteral("lngSerialNum"), 9);
    a->Cancel();
    EXPECT_EQ(a->FieldValue(QStringLiteral("lngSerialNum")), old);
    const auto other = OtherConnection();
    EXPECT_EQ(other->Exec(QStringLiteral("UPDATE SerialNum SET lngMax = 77 WHERE idxID = 1")), 1)
        << "no lock left behind";
}

TEST_F(DataSetTest, EditRetriesLockConflictsUntilTheHolderCommits) {
    const auto holder = OtherConnection();
    auto hold = std::make_unique<TFbTransaction>(*holder);
    hold->Exec(QStringLiteral("UPDATE SerialNum SET lngMax = 60000 WHERE idxID = 1"));

    int pauses = 0;
    DataSetRetryPause_Set([&](int ms) {
        EXPECT_EQ(ms, 10);
        if (++pauses == 4)
            hold->Commit(); // four conflicts, then the fifth try finds the row free
    });
    const auto ds = sys.qrySerialNum();
    ds->Open();
    EXPECT_TRUE(DataSetEdit_LockRetry_b(*ds, 5, true));
    EXPECT_EQ(pauses, 4);
    EXPECT_EQ(ds->State(), TDataSetState::Edit);
    ds->Cancel();
}

TEST_F(DataSetTest, EditGivesUpAfterItsLastAttempt) {
    const auto holder = OtherConnection();
    TFbTransaction hold(*holder);
    hold.Exec(QStringLiteral("UPDATE SerialNum SET lngMax = 60000 WHERE idxID = 1"));
    int pauses = 0;
    DataSetRetryPause_Set([&](int) { ++pauses; });
    const auto ds = sys.qrySerialNum();
    ds->Open();

    TShownBoxes boxes;
    EXPECT_FALSE(DataSetEdit_LockRetry_b(*ds, 3, true));
    EXPECT_EQ(pauses, 2);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0],
              QStringLiteral("Initiate Edit Error|Initiate Edit Error qrySerialNum\r\nEdit Locking "
                             "violation - too many tries!"));

    bool raised = false;
    try {
        DataSetEdit_LockRetry_b(*ds, 2, false);
    } catch (const EFbError& e) {
        raised = e.IsLockConflict();
    }
    EXPECT_TRUE(raised) << "without the flag the conflict is raised";

    boxes.texts.clear();
    EXPECT_FALSE(DataSetMethod_Retry_b(QStringLiteral("Edit"), *ds, 2, true));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(
        boxes.texts[0],
        QStringLiteral("Initiate Data Method Error|Initiate Data Method Error qrySerialNum\r\n"
                       "Locking violation - too many tries!"));
}

TEST_F(DataSetTest, OpenAndEditErrorsNameTheDataSet) {
    TShownBoxes boxes;
    TCachedDataSet bad(sys.Database1, QStringLiteral("qryBad"),
                       QStringLiteral("SELECT * FROM NoSuchTable"), QStringLiteral("NoSuchTable"),
                       {QStringLiteral("idx")});
    EXPECT_FALSE(DataSetOpen_b(bad, true));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(
        boxes.texts[0].startsWith(QStringLiteral("Query Open Error|Query Open Error qryBad\r\n")))
        << boxes.texts[0].toStdString();
    EXPECT_THROW(DataSetOpen_b(bad, false), EUlmex);

    // A closed dataset cannot be edited: shown, not raised, and not retried.
    boxes.texts.clear();
    int pauses = 0;
    DataSetRetryPause_Set([&](int) { ++pauses; });
    EXPECT_FALSE(DataSetEdit_LockRetry_b(bad, 5, false));
    EXPECT_EQ(pauses, 0);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(
        QStringLiteral("Initiate Edit Error|Initiate Edit Error qryBad\r\n")));
}

// Day-first and month-first display formats: the database reads text dates by its own rules, so
// the conversion must not hand it display text.
TEST_F(DataSetTest, DatesAndNullDefaults) {
    const QLocale saved;
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::English, QLocale::UnitedKingdom)}) {
        QLocale::setDefault(locale);
        SCOPED_TRACE(locale.name().toStdString());
        sys.Database1.Exec(
            QStringLiteral("UPDATE Users SET datDeleted = NULL WHERE idxUserID = 7"));
        const QString emptyText = FormatDateTime(DateDisplayFormat_str(), TDateTime(0.0));
        const QDateTime empty(QDate(1899, 12, 30), QTime(0, 0));
        TdmUser user(sys);
        const auto ds = user.qryUserEdit(7);
        ds->Open();
        ASSERT_EQ(ds->RecordCount(), 1);

        struct Null {
            const char* field;
            QVariant asText;
            QVariant asValue;
        };
        for (const Null& n : {Null{"datDeleted", emptyText, empty},
                              Null{"intInvalidLogonCount", QStringLiteral("0"), 0},
                              Null{"strFirstName", QString(), QString()}}) {
            EXPECT_EQ(DateFieldToValue(*ds, QLatin1String(n.field), true), n.asText) << n.field;
            EXPECT_EQ(DateFieldToValue(*ds, QLatin1String(n.field), false), n.asValue) << n.field;
        }

        struct Store {
            QVariant value;
            QDateTime stored;
        };
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
        for (const Store& s : {Store{0, empty}, Store{-3.5, empty}, Store{QVariant(), empty},
                               Store{QVariant(QMetaType(QMetaType::Int)), empty}, Store{when, when},
                               Store{TDateTime::FromQDateTime(when).value, when},
                               Store{FormatDateTime(DateDisplayFormat_str(), when),
                                     QDateTime(when.date(), QTime(0, 0))}}) {
            ds->Edit();
            ValueToDateField(*ds, QStringLiteral("datDeleted"), s.value);
            ds->Post();
            const TRowSet r = sys.Database1.Query(
                QStringLiteral("SELECT datDeleted FROM Users WHERE idxUserID = 7"));
            EXPECT_EQ(r.DateTime(0, QStringLiteral("datDeleted")), s.stored)
                << s.value.toString().toStdString() << " stored "
                << r.DateTime(0, QStringLiteral("datDeleted"))
                       .toString(Qt::ISODateWithMs)
                       .toStdString()
                << " expected " << s.stored.toString(Qt::ISODateWithMs).toStdString();
        }
        EXPECT_EQ(DateFieldToValue(*ds, QStringLiteral("datDeleted"), false),
                  QDateTime(when.date(), QTime(0, 0)));
        EXPECT_EQ(DateFieldToValue(*ds, QStringLiteral("datDeleted"), true),
                  FormatDateTime(DateDisplayFormat_str(), when));
    }
    QLocale::setDefault(saved);
}

TEST_F(DataSetTest, ModuleTransactionsHoldEveryChangeUntilCommit) {
    const TTransactionDesc desc{1, TIsolationLevel::ReadCommitted};
    sys.StartTransaction(desc);
    try {
        sys.StartTransaction(desc);
        ADD_FAILURE() << "a second start must raise";
    } catch (const EUlmex& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral(
                      "Database1 already in transaction - cannot initiate another transaction"));
    }
    const auto ds = sys.qrySerialNum();
    ds->Open();
    ds->Edit();
    ds->SetFieldValue(QStringLiteral("lngSerialNum"), 555);
    ds->Post();
    const int64_t before = StoredSerial();
    EXPECT_NE(before, 555) << "not visible before the commit";
    sys.Rollback(desc);
    EXPECT_EQ(StoredSerial(), before);

    sys.StartTransaction(desc);
    sys.Database1.Exec(QStringLiteral("UPDATE SerialNum SET lngSerialNum = 556 WHERE idxID = 1"));
    sys.Commit(desc);
    EXPECT_EQ(StoredSerial(), 556);

    TdmTransLog log;
    log.dbTransLog.SetDatabase(site.LogDb());
    log.dbTransLog.Open();
    log.StartTransaction({18, TIsolationLevel::RepeatableRead});
    try {
        log.StartTransaction({18, TIsolationLevel::ReadCommitted});
        ADD_FAILURE() << "a second start must raise";
    } catch (const EUlmex& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral(
                      "DatabaseLog already in transaction - cannot initiate another transaction"));
    }
    log.Commit({18, TIsolationLevel::ReadCommitted});
}

TEST_F(DataSetTest, UserQueriesFindAndUpdateTheirRows) {
    TdmUser users(sys);
    sys.Database1.Exec(QStringLiteral(
        "INSERT INTO UserAuth (idxUserID, bUserGroupID, idxTransAuthID) VALUES (7, 0, 1)"));
    sys.Database1.Exec(QStringLiteral(
        "INSERT INTO UserAuth (idxUserID, bUserGroupID, idxTransAuthID) VALUES (7, 1, 2)"));
    sys.Database1.Exec(QStringLiteral(
        "INSERT INTO UserAuth (idxUserID, bUserGroupID, idxTransAuthID) VALUES (7, -1, 3)"));

    const auto logon = users.qryUserLogon(QStringLiteral("ANNA"), QStringLiteral("414243"));
    logon->Open();
    EXPECT_EQ(logon->RecordCount(), 1);
    EXPECT_EQ(users.qryUpdateUserPassword(7, QStringLiteral("x"), QStringLiteral("5859")), 1);
    const auto again = users.qryUserLogon(QStringLiteral("ANNA"), QStringLiteral("414243"));
    again->Open();
    EXPECT_EQ(again->RecordCount(), 0) << "the old stored form no longer logs on";

    const auto own = users.qryUserAuth(7, 0);
    own->Open();
    EXPECT_EQ(own->RecordCount(), 1);
    const auto group = users.qryUserAuth(7, -1);
    group->Open();
    EXPECT_EQ(group->RecordCount(), 2) << "any true flag marks a group row";
}

// A libUlmexDB_Client.so on the library path replaces libfbclient for the whole run.
TEST(ClientLibraryTest, AlternativeLibraryOnThePathIsUsed) {
    const TEmbeddedSite site;
    ASSERT_TRUE(site.error.isEmpty()) << site.error.toStdString();
    struct Case {
        bool withShim;
        const char* expected;
    };
    for (const Case& c : {Case{false, "libfbclient.so calls=0 ok"},
                          Case{true, "libUlmexDB_Client.so calls=1 ok"}}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.withShim)
            env.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       BinDir() + QStringLiteral("/client-shim"));
        p.setProcessEnvironment(env);
        p.start(BinDir() + QStringLiteral("/db_client_probe"), {site.MainDb()});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed(),
                  QLatin1String(c.expected))
            << p.readAllStandardError().toStdString();
    }
}

} // namespace

namespace {
TEST_F(DataSetTest, NextKeyFailuresAnswerZeroAndSayWhy) {
    TShownBoxes boxes;
    TFbConnection none;
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(none, QStringLiteral("ClientMachine")), 0);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0],
              QStringLiteral("Datasource Error|NextKeyDataSource must point to a Table!"));

    TFbConnection log; // the log database has no next-key table
    log.SetDatabase(site.LogDb());
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(log, QStringLiteral("ClientMachine")), 0);
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(
        boxes.texts[1].contains(QStringLiteral(".UpdateNextKeyValue_int: An error occurred: ")))
        << boxes.texts[1].toStdString();
}
} // namespace
