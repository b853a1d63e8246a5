// The main window's station grids from a site's registry.
#include "ProgramFixture.h"
#include "dmodSystem.h"
#include "formMain.h"
#include "unitServerWiring.h"
#include "unitSharedSettings.h"
#include "unitVRQMain.h"

#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

TEST(StationGridTest, PortsWithoutSignAndTheTimeStation) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    SetAppPath(site.WorkPath());
    TServerWiring wiring;
    ASSERT_TRUE(wiring.CreateDataModules());
    TFbConnection& db = DataModules().dmSystem->Database1;
    db.SetDatabase(site.SitePath() + QStringLiteral("/halvexdatav2.GDB"));
    TfrmMain window(&wiring.Dispatcher());
    window.FormCreate(true, {});
    wiring.Attach(window);
    window.VRQMain()->SetComputerInformation(); // registers this computer
    const int me = window.VRQMain()->MachineID();
    ASSERT_GT(me, 0);
    {
        const TConnectionGuard open(db);
        db.Exec(QStringLiteral("INSERT INTO ClientMachine (idxMachineID, strName, strIPAddr, lngMachineType) "
                               "VALUES (900, 'NETENC', '10.0.0.9', 1)"));
        db.Exec(QStringLiteral("INSERT INTO ClientStation (idxMachineID, strStationID, lngPort, lngEncoder_Baud) "
                               "VALUES (:M, 'FD1', -3, 9600)"),
                {{QStringLiteral("M"), me}});
        db.Exec(QStringLiteral("INSERT INTO ClientStation (idxMachineID, strStationID, lngPort) VALUES (900, 'time', 5)"));
    }
    wiring.RefreshBrowseLists(window);
    QTableWidget* local = window.ThisStationGrid();
    ASSERT_EQ(local->rowCount(), 1);
    EXPECT_EQ(local->horizontalHeaderItem(0)->text(), QStringLiteral("Station ID"));
    EXPECT_EQ(local->item(0, 0)->text(), QStringLiteral("FD1"));
    EXPECT_EQ(local->item(0, 1)->text(), QStringLiteral("3"));
    EXPECT_EQ(local->item(0, 3)->text(), QString()) << "an empty database value is an empty cell";
    QTableWidget* all = window.AllClientMachinesGrid();
    ASSERT_EQ(all->rowCount(), 2);
    EXPECT_EQ(all->columnCount(), 6);
    EXPECT_EQ(g_strTimeStationIPAddr(), QStringLiteral("10.0.0.9"));
    SetAppPath(QString());
}

} // namespace
