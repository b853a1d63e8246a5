// Port faults a pseudo-terminal cannot produce, through a scripted port.
#include "unitDeviceTransaction.h"
#include "unitEncoderFrame.h"
#include "unitSerialPort.h"
#include "unitSharedSettings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Script {
    ISerialPort::TOpenFailure openFailure = ISerialPort::TOpenFailure::None;
    QString errorText;
    bool writeRefused = false;
    bool faultOnRead = false;
    int opens = 0;
    QByteArray written;
};

class FakePort final : public ISerialPort {
public:
    explicit FakePort(Script& s) : m_s(s) {}
    bool Open(const QString&, int) override {
        ++m_s.opens;
        m_open = m_s.openFailure == TOpenFailure::None;
        return m_open;
    }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool SetBaudRate(int) override { return true; }
    TOpenFailure OpenFailure() const override { return m_s.openFailure; }
    QString ErrorText() const override { return m_s.errorText; }
    qint64 Write(const QByteArray& b) override {
        if (m_s.writeRefused)
            return -1;
        m_s.written += b;
        return b.size();
    }
    qint64 PendingOutput() const override { return 0; }
    bool WaitForWritten(int) override { return true; }
    QByteArray ReadAvailable(qint64) override { return {}; }
    bool WaitForInput(int) override { return false; }
    void Clear() override {}
    bool Faulted() const override { return m_s.faultOnRead || m_s.writeRefused; }

private:
    Script& m_s;
    bool m_open = false;
};

TEST(FakePort, PortFaults_Table) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetAppPath(dir.path());
    using F = ISerialPort::TOpenFailure;
    struct Row {
        const char* name;
        Script script;
        int code;
        QString text;
        int opens;
    } rows[] = {
        {"port in use",
         {F::InUse, "Permission error while locking the device", false, false, 0, {}},
         198,
         "Error - Com Open->Permission error while locking the device",
         2},
        {"access denied is not in use",
         {F::Other, "Permission denied", false, false, 0, {}},
         184,
         "Error - Com Open->Permission denied",
         2},
        {"write refused",
         {F::None, "Input/output error", true, false, 0, {}},
         -99,
         "Error - Com Write->Input/output error",
         1},
        {"read fault",
         {F::None, "Resource temporarily unavailable", false, true, 0, {}},
         -99,
         "Error - Com Read->Resource temporarily unavailable",
         1},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.name);
        THalvexError error;
        std::atomic<bool> escape{false};
        Script& script = r.script;
        TDeviceSession session(error, escape,
                               [&script] { return std::make_unique<FakePort>(script); });
        session.Link().Timings().openRetryMs = 1;
        const bool opened = session.ComInit(1, 3, 9600, false);
        if (opened) {
            TDeviceTransactionData t;
            t.command = 1;
            QByteArray answer;
            if (script.writeRefused)
                EXPECT_FALSE(session.DeviceTransaction(1, t, answer));
            else
                EXPECT_TRUE(session.Link().ReceiveResponse(1).isEmpty());
            // The failed device is closed so that the next request opens it again.
            EXPECT_FALSE(session.Link().IsOpen());
        }
        EXPECT_EQ(error.Code(), r.code);
        EXPECT_EQ(error.Text(), r.text);
        EXPECT_EQ(script.opens, r.opens);
    }
}

TEST(FakePort, ComPortMapping_IniEntryElseTtyS) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetAppPath(dir.path());
    ASSERT_TRUE(HalvexIni().WriteString("ComPorts", "com2", "/dev/ttyUSB0"));
    EXPECT_EQ(ComPortDeviceName(2), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(ComPortDeviceName(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(ComPortDeviceName(12), QStringLiteral("/dev/ttyS11"));
}

} // namespace
