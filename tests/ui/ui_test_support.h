#pragma once
// Shared by the window tests: a temporary debug log folder and a bounded wait for a modal box.

#include "unitTrace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

// Sends the debug message file to a temporary folder for the test's lifetime.
class TDebugFolder {
public:
    TDebugFolder() {
        m_old = qgetenv("HALVEX_DEBUG_FOLDER");
        qputenv("HALVEX_DEBUG_FOLDER", m_dir.path().toUtf8());
    }
    ~TDebugFolder() {
        if (m_old.isEmpty())
            qunsetenv("HALVEX_DEBUG_FOLDER");
        else
            qputenv("HALVEX_DEBUG_FOLDER", m_old);
    }
    QString Text() const {
        QFile f(DebugMessageFileName());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

// Lets boxes really show while it lives.
class TAttended {
public:
    TAttended() : m_old(qgetenv("VRQ_UNATTENDED")) { qunsetenv("VRQ_UNATTENDED"); }
    ~TAttended() { qputenv("VRQ_UNATTENDED", m_old); }

private:
    QByteArray m_old;
};

// Calls act with the modal widget of type T as soon as one is up (polled for at most 3 s).
template <class T> class TWhenModal {
public:
    explicit TWhenModal(std::function<void(T*)> act) : m_act(std::move(act)) {
        m_clock.start();
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this]() {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
                m_poll.stop();
                m_done = true;
                m_act(w);
            } else if (m_clock.elapsed() > 3000) {
                m_poll.stop();
            }
        });
        m_poll.start();
    }
    bool Done() const { return m_done; }

private:
    std::function<void(T*)> m_act;
    QTimer m_poll;
    QElapsedTimer m_clock;
    bool m_done = false;
};

// Processes events until pred holds or ms pass.
inline bool WaitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}
