#pragma once
// A connected station socket read and written directly: one receive per arrival and one send per
// reply, with no buffering device in between (a station waits for every reply, so each saved
// system call is latency saved). What the kernel does not take at once is kept, up to a bound,
// and sent when the socket becomes writable.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

class TStationSocket : public QObject {
    Q_OBJECT
public:
    // The most one receive takes; the rest waits in the kernel for the next one.
    static constexpr qsizetype kReadSize = 64 * 1024;
    // Replies a station leaves unread beyond this end its connection.
    static constexpr qsizetype kMaxPending = 1024 * 1024;

    // Takes the descriptor; it is closed with this object.
    explicit TStationSocket(qintptr descriptor, QObject* parent = nullptr);
    ~TStationSocket() override;
    TStationSocket(const TStationSocket&) = delete;
    TStationSocket& operator=(const TStationSocket&) = delete;

    // Non-blocking, no send delay, notifiers in the calling thread; false with the reason.
    bool Open(QString* error);
    bool Connected() const { return m_connected; }
    // Queues what the kernel does not take; false when the connection is gone or over its bound.
    bool Write(const QByteArray& bytes);
    qsizetype Pending() const { return m_pending.size() - m_sent; }

Q_SIGNALS:
    void Received(const QByteArray& block);
    // Once, when the peer closes, the connection fails or the send bound is passed.
    void Disconnected();

private:
    void OnReadable();
    void OnWritable();
    void Lost();

    int m_fd = -1;
    bool m_connected = false;
    QByteArray m_pending;
    qsizetype m_sent = 0; // bytes of m_pending already sent
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
};
