#pragma once
// Reaching the encoder of a station: through the server that owns it, or directly when it is a
// network encoder. TLogonCom is the logon/time link variant.

#include "DateTime.h"
#include "unitSocketWrapper.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

// One row of the encoder map (the station and the machine that serves it).
struct TEncoderMapRow {
    QString strStationID;
    QString strName;
    QString strIPAddr;
    int lngMachineType = 0;
    int lngInterfaceType = 1;
    QString strDeviceName;
    int lngPort = 0;
    bool bUSB_Port = false;
    int lngEncoder_Baud = 0;
    int lngLPI_Baud = 0;
    int idxKeyPrintLayoutID = 0;
};

// The system data module as the station side needs it.
class IStationDirectory {
public:
    virtual ~IStationDirectory() = default;
    // The encoder map row of a station; nullopt when it is not registered. Throws on failure.
    virtual std::optional<TEncoderMapRow> EncoderMap(const QString& stationID) = 0;
    // lngVRQPort of the system configuration.
    virtual int VRQPort() = 0;
    // The layout text of a print layout; throws when it cannot be built.
    virtual QByteArray PrintLayoutText(int layoutID) = 0;
};

struct TDeviceStatus {
    bool bFlag13 = false;
    int intNumber = 0;
    int intFeatureWord = 0;
    int intDeviceKind = 0; // 0 unknown, 1 encoder, 2 LPI, 3 Quil encoder
    std::array<bool, 11> bFeatures{};
    QString strVersion1;
    TDateTime datVersion1;
    QString strVersion2;
    TDateTime datVersion2;
    bool bLateVersion = false;
    bool bQuil = false;
    QString strMACAddress;
};

// The response code a station expects for a command (-1 accepts any).
int ExpectedResponse_int(int command);
// Fills the status record from a status answer frame; false (and a report) on a fault.
bool DeviceStatusFill(const QByteArray& answer, TDeviceStatus& status);

// Track and printed texts of a key string, for the Datacard request.
struct TKeyStringParts {
    QByteArray track1, track2, track3;
    QByteArrayList printTexts;
};
using TKeyStringParser = std::function<TKeyStringParts(const QByteArray& keyString)>;
QByteArray DatacardRequest(const TKeyStringParts& parts);

class TDeviceCom {
public:
    // baudKind: 1 encoder baud, 2 LPI baud, other none.
    TDeviceCom(int baudKind, IStationDirectory* directory, QString stationID);
    virtual ~TDeviceCom();

    bool Link(bool comLink);
    bool Transaction(int command, const QByteArray& data, QByteArray& elevator, QByteArray& track2,
                     QByteArray& variableInfo, QByteArray& addlInfo, QByteArray& answer, int delay);
    bool ConnectDirect(const QString& address, int port);
    bool StatusGet(TDeviceStatus& status);
    void ThreadTypeSet(char c);
    int ThreadTypeCount(char c);
    bool DateTimeGet(TDateTime& dt);
    bool DbFlagStatus(bool& set);
    bool Disconnect() { return m_socket->Disconnect(); }

    int LastErrorCode() const { return m_lastErrorCode; }
    const QByteArray& ReturnedData() const { return m_returnedData; }
    // Texts 0..2 of the failure (station id, machine name, name the server gave).
    const std::array<QString, 3>& ErrorTexts() const { return m_errorTexts; }
    int DirectFlag() const { return m_direct; }
    int InterfaceType() const { return m_interfaceType; }
    TSocketWrapper& Socket() { return *m_socket; }

    TKeyStringParser KeyStringParser;
    // A command-line station talking to a given host does not know the server's name ahead.
    bool AcceptAnyServerName = false;
    // The computer name the server greeted with on the last connect.
    const QString& GreetedName() const { return m_greetedName; }

protected:
    std::unique_ptr<TSocketWrapper> m_socket;

private:
    QByteArray tail() const;
    bool serverQuery(const QByteArray& action, char c, int delay, QByteArray* recv);
    void setErrorTexts(const QString& t0, const QString& t1 = {}, const QString& t2 = {});

    int m_baudKind;
    IStationDirectory* m_directory;
    QString m_stationID;
    int m_direct = 0;
    int m_interfaceType = 1;
    QByteArray m_printLayout;
    QByteArray m_deviceName;
    QString m_serverAddress;
    bool m_usb = false;
    int m_lastErrorCode = 0;
    QByteArray m_returnedData;
    std::array<QString, 3> m_errorTexts;
    QString m_greetedName;
};

class TLogonCom : public TDeviceCom {
public:
    TLogonCom(QString stationID, IStationDirectory* directory);
    bool LogonLink();
    int LogonCount() { return ThreadTypeCount('L'); }
};
