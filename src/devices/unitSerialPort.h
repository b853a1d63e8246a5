#pragma once
// The serial port behind the encoder link: a small interface so that tests can put a scripted
// port in place of the real one, and the COM number to device mapping.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class ISerialPort {
public:
    enum class TOpenFailure { None, InUse, Other };

    virtual ~ISerialPort() = default;

    // Opens the device with the baud rate, 8 data bits, no parity, 1 stop bit; flow control
    // stays as it is. On failure OpenFailure() and ErrorText() say why.
    virtual bool Open(const QString& device, int baud) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Changes the speed of an open port; false when the device refuses it.
    virtual bool SetBaudRate(int baud) = 0;
    virtual TOpenFailure OpenFailure() const = 0;
    virtual QString ErrorText() const = 0;

    // Queues bytes for output; the count queued, -1 on failure.
    virtual qint64 Write(const QByteArray& bytes) = 0;
    // Bytes not yet handed to the device.
    virtual qint64 PendingOutput() const = 0;
    // Waits at most ms for output progress; false on a fault or time-out.
    virtual bool WaitForWritten(int ms) = 0;
    // What has arrived so far (nothing when nothing is there), at most maxBytes.
    virtual QByteArray ReadAvailable(qint64 maxBytes) = 0;
    // Waits at most ms for input.
    virtual bool WaitForInput(int ms) = 0;
    // Empties the output and input buffers.
    virtual void Clear() = 0;
    // True after the device failed while open (unplugged adapter, I/O error).
    virtual bool Faulted() const = 0;
};

using TSerialPortFactory = std::function<std::unique_ptr<ISerialPort>()>;

// The real port (QSerialPort); create it in the thread that uses it.
std::unique_ptr<ISerialPort> CreateQtSerialPort();

// Device of COM port n: halvex.ini [ComPorts] COM<n>, else /dev/ttyS<n-1>.
QString ComPortDeviceName(int portNumber);
