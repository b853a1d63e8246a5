#pragma once
// The first copy listens on a local socket named after its instance mutex; a second copy
// connects, asks it to come forward, and exits.

#include <QObject>
#include <QString>

class QLocalServer;

class TPreviousInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TPreviousInstanceServer(const QString& instanceName, QObject* parent = nullptr);
    bool IsListening() const;

Q_SIGNALS:
    void ActivateRequested();

private:
    QLocalServer* m_server = nullptr;
};

// Asks the copy listening under instanceName to come forward; true when it acknowledged.
bool ActivatePreviousInstance(const QString& instanceName, int timeoutMs = 3000);
