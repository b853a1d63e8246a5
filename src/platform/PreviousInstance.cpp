#include "PreviousInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
QString channelName(const QString& instanceName) {
    QString safe = instanceName;
    for (QChar& c : safe)
        if (!c.isLetterOrNumber() && c != u'_' && c != u'-')
            c = u'_';
    return QStringLiteral("vrq-instance-") + safe;
}
constexpr char kActivate[] = "ACTIVATE\n";
constexpr char kAck[] = "OK\n";
} // namespace

TPreviousInstanceServer::TPreviousInstanceServer(const QString& instanceName, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    const QString name = channelName(instanceName);
    // We hold the instance mutex, so any socket file left under this name is stale.
    QLocalServer::removeServer(name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            s->setParent(this);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->bytesAvailable() > 64) {
                    s->abort();
                    return;
                }
                if (s->canReadLine() && s->readLine() == kActivate) {
                    s->write(kAck);
                    s->flush();
                    Q_EMIT ActivateRequested();
                }
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

bool TPreviousInstanceServer::IsListening() const { return m_server->isListening(); }

bool ActivatePreviousInstance(const QString& instanceName, int timeoutMs) {
    QLocalSocket s;
    s.connectToServer(channelName(instanceName));
    if (!s.waitForConnected(timeoutMs))
        return false;
    s.write(kActivate);
    if (!s.waitForBytesWritten(timeoutMs))
        return false;
    if (!s.waitForReadyRead(timeoutMs))
        return false;
    return s.readLine(16) == kAck;
}
