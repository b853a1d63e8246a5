#include "unitSerialPort.h"

#include "unitSharedSettings.h"

#include <QSerialPort>

namespace {

class TQtSerialPort final : public ISerialPort {
public:
    bool Open(const QString& device, int baud) override {
        m_failure = TOpenFailure::None;
        m_errorText.clear();
        // A fault of the previous opening must not count against this one.
        m_port.clearError();
        m_port.setPortName(device);
        m_port.setBaudRate(baud);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        if (m_port.open(QIODevice::ReadWrite))
            return true;
        m_errorText = m_port.errorString();
        // Qt reports both a held lock file and EBUSY as a permission error; a plain EACCES
        // ("Permission denied") is not a port in use.
        const bool inUse = m_port.error() == QSerialPort::PermissionError &&
                           (m_errorText.contains(QLatin1String("lock"), Qt::CaseInsensitive) ||
                            m_errorText.contains(QLatin1String("busy"), Qt::CaseInsensitive));
        m_failure = inUse ? TOpenFailure::InUse : TOpenFailure::Other;
        return false;
    }
    void Close() override {
        if (m_port.isOpen())
            m_port.close();
    }
    bool IsOpen() const override { return m_port.isOpen(); }
    bool SetBaudRate(int baud) override {
        if (m_port.setBaudRate(baud))
            return true;
        m_errorText = m_port.errorString();
        return false;
    }
    TOpenFailure OpenFailure() const override { return m_failure; }
    QString ErrorText() const override {
        return m_errorText.isEmpty() ? m_port.errorString() : m_errorText;
    }
    qint64 Write(const QByteArray& bytes) override {
        const qint64 n = m_port.write(bytes);
        if (n < 0)
            m_errorText = m_port.errorString();
        return n;
    }
    qint64 PendingOutput() const override { return m_port.bytesToWrite(); }
    bool WaitForWritten(int ms) override { return m_port.waitForBytesWritten(ms); }
    QByteArray ReadAvailable(qint64 maxBytes) override {
        if (m_port.bytesAvailable() <= 0)
            return {};
        return m_port.read(maxBytes);
    }
    bool WaitForInput(int ms) override {
        return m_port.bytesAvailable() > 0 || m_port.waitForReadyRead(ms);
    }
    void Clear() override { m_port.clear(QSerialPort::AllDirections); }
    bool Faulted() const override {
        switch (m_port.error()) {
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            return true;
        default:
            return false;
        }
    }

private:
    QSerialPort m_port;
    TOpenFailure m_failure = TOpenFailure::None;
    QString m_errorText;
};

} // namespace

std::unique_ptr<ISerialPort> CreateQtSerialPort() {
    return std::make_unique<TQtSerialPort>();
}

QString ComPortDeviceName(int portNumber) {
    const QString key = QStringLiteral("COM%1").arg(portNumber);
    const QString mapped = HalvexIni().ReadString(QStringLiteral("ComPorts"), key, QString());
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}
