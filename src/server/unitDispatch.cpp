#include "unitDispatch.h"

#include "DateTime.h"
#include "Errors.h"
#include "unitServerState.h"
#include "unitTrace.h"
#include "unitVRQMain.h"

#include <QMetaObject>

using namespace StationProtocol;

namespace {

QByteArray num(int64_t n) {
    return QByteArray::number(qlonglong(n));
}

// Runs fn in the main thread and waits for it; the main thread never waits on a worker.
template <class Fn> void OnMainThread(TClientConnection& conn, Fn&& fn) {
    TVRQMain* main = conn.Main();
    if (!main)
        return;
    QMetaObject::invokeMethod(main, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
}

QByteArray errorCode(TClientConnection& c) {
    return num(c.Error().Code());
}
QByteArray errorData(TClientConnection& c) {
    return c.Error().Text().toLocal8Bit();
}

} // namespace

void TDispatcher::HandleMessage(TClientConnection& conn, const TStationMessage& msg) {
    TServerState& state = ServerState();
    const QByteArray action = msg.Action();

    if (action == "LOGOFFALL") {
        OnMainThread(conn, [&conn] { conn.Main()->LogoffAllStations(); });
        return;
    }
    if (action == "COMLINK") {
        const int port = msg.IntField("intComPort", 0);
        const int baud = msg.IntField("intBaudRate", 0);
        const bool usb = msg.IntField("bUSB", 0) != 0;
        conn.Error().Clear();
        bool ok = true;
        if (conn.InterfaceType() != 2)
            ok = m_services.ComInit ? m_services.ComInit(conn, port, baud, usb) : false;
        conn.Send(TReply(action)
                      .Add("strResult", ok ? "Success" : "Failure")
                      .Add("strErrorCode", errorCode(conn))
                      .Add("strErrorData", errorData(conn))
                      .Frame());
        return;
    }
    if (action == "DATETIMEREQUEST") {
        conn.Send(TReply(action)
                      .AddLine("strResult=Success")
                      .Add("strRecv", FormatDateTime(QStringLiteral("mmddyyyyhhnnss"),
                                                     QDateTime::currentDateTime())
                                          .toLatin1())
                      .Frame());
        return;
    }
    if (action == "DBFLAGREQUEST") {
        TReply reply(action);
        {
            const std::lock_guard lock(state.flagLock);
            TClientThread* expected = nullptr;
            bool ok = false;
            if (state.flagHolder.compare_exchange_strong(expected, &conn.Thread())) {
                OnMainThread(conn, [&conn] { conn.Main()->RefreshDBFlagLabel(); });
                ok = true;
            } else {
                ok = expected == &conn.Thread();
            }
            reply.Add("strResult", ok ? "Success" : "Failure");
        }
        conn.Send(reply.Frame());
        return;
    }
    if (action == "DBFLAGCLEAR") {
        TReply reply(action);
        {
            const std::lock_guard lock(state.flagLock);
            TClientThread* expected = &conn.Thread();
            if (state.flagHolder.compare_exchange_strong(expected, nullptr))
                OnMainThread(conn, [&conn] { conn.Main()->RefreshDBFlagLabel(); });
            reply.AddLine("strResult=Success");
        }
        conn.Send(reply.Frame());
        return;
    }
    if (action == "DBFLAGSTATUS") {
        conn.Send(
            TReply(action)
                .AddLine(state.flagHolder.load() ? "strRecv=DBFLAG_SET" : "strRecv=DBFLAG_NOT_SET")
                .AddLine("strResult=Success")
                .Frame());
        return;
    }
    if (action == "DEVICETRANSACTION") {
        TDeviceRequest r;
        const int64_t command = msg.IntField64("bytCommand", 0);
        r.data = msg.Field("strData");
        r.addlInfo = msg.Field("strAddlInfo");
        r.variableInfo = msg.Field("strVariableInfo");
        r.track2 = msg.Field("strTrack2");
        r.elevator = msg.Field("strElevator");
        r.expectedResponse = msg.IntField("intResponse", 0);
        const int64_t delay = msg.IntField64("intDelay", 2);
        r.delaySecs = int(std::clamp<int64_t>(delay, INT_MIN, INT_MAX));
        r.deviceName = msg.Field("strDeviceName");
        r.printLayout = msg.Field("strPrintLayout");
        conn.Error().Clear();
        conn.Escape() = false;
        QByteArray answer;
        bool ok = false;
        if (conn.InterfaceType() == 2) {
            r.command = int(std::clamp<int64_t>(command, INT_MIN, INT_MAX));
            ok = m_services.PrinterDispatch ? m_services.PrinterDispatch(conn, r, answer) : false;
        } else {
            if (command < 0 || command > 255)
                throw EUlmex(QStringLiteral("Range check error: bytCommand %1 is outside 0..255")
                                 .arg(command));
            r.command = int(command);
            ok = m_services.DeviceTransaction ? m_services.DeviceTransaction(conn, r, answer)
                                              : false;
        }
        if (delay > 0)
            conn.Send(TReply(action)
                          .Add("intCommand", num(command))
                          .Add("strResult", ok ? "Success" : "Failure")
                          .Add("strRecv", answer)
                          .Add("strAddlInfo", r.addlInfo)
                          .Add("strVariableInfo", r.variableInfo)
                          .Add("strTrack2", r.track2)
                          .Add("strElevator", r.elevator)
                          .Add("strErrorCode", errorCode(conn))
                          .Add("strErrorData", errorData(conn))
                          .Frame());
        return;
    }
    if (action == "THREADTYPESET") {
        const std::lock_guard lock(state.flagLock);
        const QByteArray data = msg.Field("strData");
        if (!data.isEmpty()) {
            const QChar type = QChar::fromLatin1(data[0]);
            const QString identity = conn.Identity();
            OnMainThread(
                conn, [&conn, identity, type] { conn.Main()->SetConnectionType(identity, type); });
        }
        return;
    }
    if (action == "THREADTYPECOUNT") {
        int count = 0;
        TReply reply(action);
        {
            const std::lock_guard lock(state.flagLock);
            const QByteArray data = msg.Field("strData");
            bool ok = false;
            if (!data.isEmpty()) {
                const QChar type = QChar::fromLatin1(data[0]);
                ok = true;
                OnMainThread(conn, [&conn, &count, type] {
                    count = conn.Main()->CountConnectionsOfType(type);
                });
            }
            reply.Add("strRecv", num(count)).Add("strResult", ok ? "Success" : "Failure");
        }
        conn.Send(reply.Frame());
        return;
    }
    if (action == "LINK") {
        conn.Send(TReply(action)
                      .AddLine(state.linkAnswer ? "strResult=Success" : "strResult=Failure")
                      .Frame());
        return;
    }
    if (action == "ESCAPEFLAGSET") {
        conn.Escape() = AsciiUpper(msg.Field("strValue")) == "TRUE";
        return;
    }
    if (action == "INNERRANGEWRITE") {
        {
            const std::lock_guard lock(state.innerRangeFileLock);
            if (m_services.InnerRangeFileWrite)
                m_services.InnerRangeFileWrite(msg.Field("strData"),
                                               QStringLiteral("dd/mm/yyyy hh:nn:ss:zzz"));
        }
        conn.Send(TReply(action).AddLine("strResult=Success").Frame());
        return;
    }
    if (action == "GENERICFILEWRITE") {
        {
            const std::lock_guard lock(state.genericFileLock);
            if (m_services.GenericFileWrite)
                m_services.GenericFileWrite(msg.Field("strData"),
                                            QStringLiteral("yyyy-mm-dd hh:nn:ss:zzz"));
        }
        conn.Send(TReply(action).AddLine("strResult=Success").Frame());
        return;
    }
    if (action == "NEXTSERIALNUM") {
        (void)msg.Field("strData");
        int64_t n = 0;
        {
            const std::lock_guard lock(state.serialLock);
            if (!m_services.NextSerialNumber)
                throw EUlmex(QStringLiteral("No serial number source"));
            n = m_services.NextSerialNumber();
        }
        conn.Send(TReply(action).AddLine("strResult=Success").Add("strRecv", num(n)).Frame());
        return;
    }
}
