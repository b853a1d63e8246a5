#pragma once
// The dispatcher: carries out every action of a station request in the worker's thread.

#include "THalvexError.h"
#include "untComThread.h"

#include <QByteArray>
#include <functional>

// What a device operation needs and leaves behind.
struct TDeviceRequest {
    int command = 0;
    QByteArray data;
    int expectedResponse = 0;
    int delaySecs = 2;
    QByteArray addlInfo, variableInfo, track2, elevator;
    QByteArray deviceName, printLayout;
};

// The device and storage calls of the actions; each runs in the calling worker's thread.
struct TDispatchServices {
    // COMLINK for interface types other than 2.
    std::function<bool(TClientConnection&, int port, int baud, bool usb)> ComInit;
    // DEVICETRANSACTION for interface types other than 2; answer and in/out fields filled.
    std::function<bool(TClientConnection&, TDeviceRequest&, QByteArray& answer)> DeviceTransaction;
    // DEVICETRANSACTION for interface type 2.
    std::function<bool(TClientConnection&, TDeviceRequest&, QByteArray& answer)> PrinterDispatch;
    // Throws on failure; returns the number handed out (0 when there is no row).
    std::function<int64_t()> NextSerialNumber;
    // File drops; throw when the file cannot be opened (or written, for the inner range).
    std::function<void(const QByteArray& data, const QString& stampFormat)> InnerRangeFileWrite;
    std::function<void(const QByteArray& data, const QString& stampFormat)> GenericFileWrite;
};

class TDispatcher : public IMessageHandler {
public:
    explicit TDispatcher(TDispatchServices services = {}) : m_services(std::move(services)) {}
    TDispatchServices& Services() { return m_services; }

    void HandleMessage(TClientConnection& conn,
                       const StationProtocol::TStationMessage& msg) override;

private:
    TDispatchServices m_services;
};
