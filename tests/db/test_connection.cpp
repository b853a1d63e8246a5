#include "unitDBSchema.h"
#include "unitFbDatabase.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Connection, SiteCreatesAndReads) {
    QTemporaryDir dir;
    TSiteOptions o;
    o.folder = dir.path();
    o.port = 7001;
    QString err;
    ASSERT_TRUE(CreateSite_b(o, &err)) << err.toStdString();
    TSQLConnection db(QStringLiteral("Database1"));
    db.SetDatabaseName(dir.filePath(QStringLiteral("halvexdatav2.GDB")));
    TSQLQuery q(QStringLiteral("q"), &db, QStringLiteral("select * from PropertyConfig where idxPropConfigID = :ID"));
    q.SetParam(QStringLiteral("id"), 1);
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName(QStringLiteral("lngvrqport"))->AsInteger(), 7001);
    EXPECT_EQ(q.FieldByName(QStringLiteral("strSecureShiftOptions"))->AsString(), QStringLiteral("000101000000000000000000000000"));
}
TEST(Connection, DebugParams) {
    const TParsedSQL p = ParseNamedParams(QStringLiteral("INSERT INTO LockInterrogateMethod (idxID, strName) VALUES (:ID, :Name)"));
    EXPECT_EQ(p.paramOrder, (QStringList{QStringLiteral("ID"), QStringLiteral("Name")})) << p.sql.toStdString();
    QList<TParam> ps{{QStringLiteral("ID"), 1 + 1}, {QStringLiteral("Name"), QStringLiteral("x")}};
    EXPECT_EQ(ps[0].value.toInt(), 2);
}
