// Finding and attaching a site at start-up: AppInit end to end, the file check, the server-side
// database name, the start-up dialog.
#include "dbTestSite.h"
#include "formVersions.h"
#include "unitPropertyConfigSettings.h"
#include "unitSharedSettings.h"
#include "unitSharedStuff.h"
#include "unitUtils.h"

#include <QApplication>
#include <QTimer>

namespace {

int g_argc = 1;
char g_arg0[] = "vrq_db_tests";
char* g_argv[] = {g_arg0, nullptr};

QApplication& App() {
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance())
                                   ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                   : new QApplication(g_argc, g_argv);
    return *app;
}

class AttachTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        EnsureFirebirdEnvironment();
        ASSERT_TRUE(m_work.isValid());
        SetAppPath(m_work.path() + u'/');
        g_Attach() = TAttachState{};
        g_intAppInitReturnCode = 0;
        g_PropertyConfig() = RPropertyConfig{};
        SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
    }
    void TearDown() override {
        m_main.Close();
        m_log.Close();
    }
    QString Site() const { return m_work.path() + QStringLiteral("/site"); }
    void WriteLinkPath(const QString& link) {
        ASSERT_TRUE(TIniFile(HalvexIniPath())
                        .WriteString(QStringLiteral("Database"), QStringLiteral("LinkPath"), link));
    }

    QTemporaryDir m_work;
    TFbConnection m_main;
    TFbConnection m_log;
    TBoxRecorder m_boxes;
};

TEST_F(AttachTest, EmbeddedSite_AttachesAndLoadsConfiguration) {
    ASSERT_TRUE(CopySiteTo(Site()));
    WriteLinkPath(Site() + u'/');
    ASSERT_TRUE(AppInit(m_main, m_log, false, {})) << S(m_boxes.All());
    EXPECT_EQ(g_intAppInitReturnCode, 0);
    EXPECT_EQ(g_Attach().ServerType, 2);
    EXPECT_EQ(m_main.Database(), Site() + QStringLiteral("/halvexdatav2.GDB"));
    EXPECT_EQ(m_log.Database(), Site() + QStringLiteral("/halvexlogv2.GDB"));
    EXPECT_EQ(g_PropertyConfig().lngVRQPort, 7123);
    EXPECT_EQ(g_RFID_Card_Layout().intRFIDLayout, 1);
    EXPECT_TRUE(g_RFID_Card_Layout().bEnhancedRFID); // created -1
    // The link path stays in halvex.ini.
    EXPECT_EQ(TIniFile(HalvexIniPath())
                  .ReadString(QStringLiteral("Database"), QStringLiteral("LinkPath"), {}),
              Site() + u'/');
}

TEST_F(AttachTest, MissingLogFile_ReportsItAndFailsWithCode14) {
    ASSERT_TRUE(CopySiteTo(Site()));
    ASSERT_TRUE(QFile::remove(Site() + QStringLiteral("/halvexlogv2.GDB")));
    WriteLinkPath(Site() + u'/');
    EXPECT_FALSE(AppInit(m_main, m_log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 14);
    EXPECT_TRUE(m_boxes.Contains(Site() + QStringLiteral("/halvexlogv2.GDB does not exist!\r\n")))
        << S(m_boxes.All());
    EXPECT_TRUE(m_boxes.Contains(QStringLiteral("Databases Attached Failed!\r\nProgram Halted")));
    EXPECT_FALSE(m_main.Connected());
}

TEST_F(AttachTest, NoLinkPath_DeclinedPromptGivesCode14) {
    EXPECT_FALSE(AppInit(m_main, m_log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 14);
    EXPECT_TRUE(m_boxes.Contains(
        QStringLiteral("A link to has not been defined to access LAN based tables. Please find and "
                       "select the LAN based tables. (Zeth)")))
        << S(m_boxes.All());
}

TEST_F(AttachTest, DatabaseWithoutEnhancedRFIDColumn_FailsAppInitWithCode0) {
    ASSERT_TRUE(CopySiteTo(Site()));
    {
        TFbConnection db;
        db.SetDatabase(Site() + QStringLiteral("/halvexdatav2.GDB"));
        db.Open();
        db.Exec(QStringLiteral("ALTER TABLE PropertyConfig DROP bEnhancedRFID"));
        db.Exec(QStringLiteral("ALTER TABLE PropertyConfig DROP bUseBLEUID"));
    }
    WriteLinkPath(Site() + u'/');
    EXPECT_FALSE(AppInit(m_main, m_log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 0);
    // The attachment itself went through: the configuration record (without bUseBLEUID) loaded.
    EXPECT_EQ(g_PropertyConfig().lngVRQPort, 7123);
    EXPECT_FALSE(g_PropertyConfig().bUseBLEUID);
}

TEST_F(AttachTest, DatVersionBelowMinimum_FailsWithCode11) {
    ASSERT_TRUE(CopySiteTo(Site()));
    {
        TFbConnection db;
        db.SetDatabase(Site() + QStringLiteral("/halvexdatav2.GDB"));
        db.Open();
        db.Exec(QStringLiteral("UPDATE Version_DAT SET sngVersion = 3.5"));
    }
    WriteLinkPath(Site() + u'/');
    EXPECT_FALSE(AppInit(m_main, m_log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 11);
    EXPECT_DOUBLE_EQ(g_DatabaseVersions().DAT.Actual, 3.5);
}

TEST_F(AttachTest, SplashDialog_AcceptsOnSuccessAndRejectsOnFailure) {
    for (const bool siteExists : {true, false}) {
        SCOPED_TRACE(siteExists);
        g_Attach() = TAttachState{};
        g_intAppInitReturnCode = 0;
        const QString site = Site() + (siteExists ? QStringLiteral("A") : QStringLiteral("B"));
        if (siteExists) {
            ASSERT_TRUE(CopySiteTo(site));
        }
        WriteLinkPath(site + u'/');
        TfrmSplash splash(m_main, m_log, {});
        EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &splash, [&splash] { splash.done(99); });
        guard.start(30000);
        const int result = splash.exec();
        EXPECT_EQ(result, siteExists ? QDialog::Accepted : QDialog::Rejected);
        m_main.Close();
        m_log.Close();
    }
}

// ---- The server-side name --------------------------------------------------------------------

class DatabasePathTest : public AttachTest {};

TEST_F(DatabasePathTest, NetworkInfoTwoFoldersUp_AddsTheSubPath) {
    const QString base = m_work.path() + QStringLiteral("/share");
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/Lock/Data")));
    ASSERT_TRUE(TIniFile(base + QStringLiteral("/NetworkInfo.INI"))
                    .WriteString(QStringLiteral("PathInfo"), QStringLiteral("PhysicalPath"),
                                 QStringLiteral("D:\\Shared")));
    g_Attach().ServerType = 1; // no probe
    const QString name = HalvexInterbaseDatabasePath(
        &m_main, base + QStringLiteral("/Lock/Data/halvexdatav2.GDB"), dbkZeth, QString(), true);
    // A Windows database server keeps its own separators; this computer is reached over loopback.
    EXPECT_EQ(name, QStringLiteral("127.0.0.1:D:\\Shared\\Lock\\Data\\halvexdatav2.GDB"));
    // The log database takes the cached prefix without reading NetworkInfo.INI again.
    ASSERT_TRUE(QFile::remove(base + QStringLiteral("/NetworkInfo.INI")));
    EXPECT_EQ(HalvexInterbaseDatabasePath(&m_log,
                                          base + QStringLiteral("/Lock/Data/halvexlogv2.GDB"),
                                          dbkZeth, QString(), true),
              QStringLiteral("127.0.0.1:D:\\Shared\\Lock\\Data\\halvexlogv2.GDB"));
}

TEST_F(DatabasePathTest, PhysicalPathOverride_SkipsTheSearchAndTheSubPath) {
    const QString folder = m_work.path() + QStringLiteral("/no/info/here");
    ASSERT_TRUE(QDir().mkpath(folder));
    g_Attach().ServerType = 1;
    EXPECT_EQ(HalvexInterbaseDatabasePath(&m_main, folder + QStringLiteral("/halvexdatav2.GDB"),
                                          dbkZeth, QStringLiteral("/srv/halvex"), false),
              QStringLiteral("127.0.0.1:/srv/halvex/halvexdatav2.GDB"));
}

TEST_F(DatabasePathTest, ErrorTexts) {
    struct Case {
        const char* what;
        QString file;
        QString override;
        int serverType;
        QString expected;
    };
    const QString nowhere = m_work.path() + QStringLiteral("/empty");
    ASSERT_TRUE(QDir().mkpath(nowhere));
    const QString noPhysical = m_work.path() + QStringLiteral("/nophys");
    ASSERT_TRUE(QDir().mkpath(noPhysical));
    ASSERT_TRUE(
        TIniFile(noPhysical + QStringLiteral("/NetworkInfo.INI"))
            .WriteString(QStringLiteral("PathInfo"), QStringLiteral("Other"), QStringLiteral("x")));
    const Case cases[] = {
        {"UNC base without a share", QStringLiteral("//SRV/halvexdatav2.GDB"),
         QStringLiteral("D:\\Shared"), 1, QStringLiteral("Error //SRV is invalid")},
        {"no NetworkInfo.INI anywhere up", nowhere + QStringLiteral("/halvexdatav2.GDB"), QString(),
         1, QStringLiteral("NetworkInfo.INI does not exist!")},
        {"PhysicalPath missing", noPhysical + QStringLiteral("/halvexdatav2.GDB"), QString(), 1,
         QStringLiteral("PathInfo/PhysicalPath not set")},
        {"no server type, no file name", noPhysical + u'/', QStringLiteral("/srv"), 0,
         QStringLiteral("Server Type not set/strFilename=\"\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_Attach().ServerType = c.serverType;
        QString error;
        try {
            HalvexInterbaseDatabasePath(&m_main, c.file, dbkZeth, c.override, false);
        } catch (const std::exception& e) {
            error = ExceptionText(e);
        }
        EXPECT_EQ(error, c.expected);
    }
    g_Attach().ServerType = 0;
    try {
        HalvexInterbaseDatabasePath(nullptr, nowhere + QStringLiteral("/x.GDB"), dbkZeth,
                                    QStringLiteral("/srv"), false);
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(ExceptionText(e), QStringLiteral("Server Type not set/SQLConnection=nil"));
    }
}

TEST_F(DatabasePathTest, FileCheck_ReportsOnlyTheFirstMissingFile) {
    ASSERT_TRUE(CopySiteTo(Site()));
    EXPECT_TRUE(DatabaseFilesCheck_b(Site(), dbkZeth, true));
    ASSERT_TRUE(QFile::remove(Site() + QStringLiteral("/halvexdatav2.GDB")));
    ASSERT_TRUE(QFile::remove(Site() + QStringLiteral("/NetworkInfo.INI")));
    m_boxes.texts.clear();
    EXPECT_FALSE(DatabaseFilesCheck_b(Site() + u'/', dbkZeth, true));
    ASSERT_EQ(m_boxes.texts.size(), 1);
    EXPECT_TRUE(m_boxes.Contains(QStringLiteral("halvexdatav2.GDB does not exist!")));
    m_boxes.texts.clear();
    EXPECT_FALSE(DatabaseFilesCheck_b(Site(), dbkZeth, false));
    EXPECT_TRUE(m_boxes.texts.isEmpty());
}

// ---- The same site through the Firebird server (server type 1) ------------------------------

TEST_F(AttachTest, ServerSite_AttachesThroughTheServer) {
    const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
    const QString data = qEnvironmentVariable("VRQ_FB_DATA");
    if (server.isEmpty() || data.isEmpty())
        GTEST_SKIP() << "VRQ_FB_SERVER / VRQ_FB_DATA not set";
    QTemporaryDir siteDir(data + QStringLiteral("/attach-XXXXXX"));
    ASSERT_TRUE(siteDir.isValid());
    OpenToServer(siteDir.path());
    const QString site = siteDir.path() + QStringLiteral("/site");
    QString out;
    ASSERT_EQ(RunInitDb({QStringLiteral("--site"), site, QStringLiteral("--server"), server,
                         QStringLiteral("--port"), QStringLiteral("7555")},
                        &out),
              0)
        << S(out);
    WriteLinkPath(site + u'/');
    ASSERT_TRUE(AppInit(m_main, m_log, false, {})) << S(m_boxes.All());
    EXPECT_EQ(g_Attach().ServerType, 1);
    EXPECT_EQ(m_log.Database(),
              QStringLiteral("127.0.0.1:") + site + QStringLiteral("/halvexlogv2.GDB"));
    EXPECT_EQ(g_PropertyConfig().lngVRQPort, 7555);
    // The server owns the files; drop them through it so the folder can go.
    for (TFbConnection* c : {&m_main, &m_log}) {
        c->Close();
        c->Open();
    }
    m_log.Close();
    m_main.Close();
}

} // namespace
