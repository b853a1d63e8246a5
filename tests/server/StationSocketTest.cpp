// The station socket against a peer that reads slowly, never reads, or goes away.
#include "unitPumpEvents.h"
#include "unitStationSocket.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class StationSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        // A small send buffer makes the kernel refuse early.
        const int size = 4096;
        ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        peer = fds[1];
        socket = std::make_unique<TStationSocket>(fds[0]);
        QString error;
        ASSERT_TRUE(socket->Open(&error)) << error.toStdString();
        QObject::connect(socket.get(), &TStationSocket::Received,
                         [this](const QByteArray& b) { received += b; });
        QObject::connect(socket.get(), &TStationSocket::Disconnected, [this] { ++lost; });
    }
    void TearDown() override {
        socket.reset();
        if (peer >= 0)
            ::close(peer);
    }
    // Reads what the peer has, without waiting.
    QByteArray drainPeer() {
        QByteArray out;
        char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0)
                return out;
            out.append(buf, qsizetype(n));
        }
    }

    int peer = -1;
    std::unique_ptr<TStationSocket> socket;
    QByteArray received;
    int lost = 0;
};

TEST_F(StationSocketTest, ReceivesWhatThePeerSendsAndReportsItsCloseOnce) {
    const QByteArray request("\x02strAction=LINK\r\n\x03");
    ASSERT_EQ(::send(peer, request.constData(), size_t(request.size()), 0), request.size());
    ASSERT_TRUE(PumpEventsUntil([&] { return received.size() >= request.size(); }, 2000));
    EXPECT_EQ(received, request);
    ::close(peer);
    peer = -1;
    ASSERT_TRUE(PumpEventsUntil([&] { return lost > 0; }, 2000));
    PumpEventsUntil([] { return false; }, 100);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(socket->Connected());
    EXPECT_FALSE(socket->Write("late"));
}

TEST_F(StationSocketTest, WhatTheKernelRefusesIsSentLaterInOrder) {
    QByteArray sent;
    for (int i = 0; i < 64; ++i) {
        const QByteArray reply = QByteArray(1000, char('a' + i % 26));
        ASSERT_TRUE(socket->Write(reply));
        sent += reply;
    }
    ASSERT_GT(socket->Pending(), 0) << "the send buffer should have filled";
    QByteArray got;
    ASSERT_TRUE(PumpEventsUntil(
        [&] {
            got += drainPeer();
            return got.size() == sent.size();
        },
        5000));
    EXPECT_EQ(got, sent);
    EXPECT_EQ(socket->Pending(), 0);
    EXPECT_EQ(lost, 0);
}

TEST_F(StationSocketTest, PeerThatNeverReadsIsDroppedAtTheBound) {
    const QByteArray reply(64 * 1024, 'x');
    int accepted = 0;
    while (socket->Write(reply)) {
        ++accepted;
        ASSERT_LE(socket->Pending(), TStationSocket::kMaxPending);
        ASSERT_LT(accepted, 1000) << "the queue has no bound";
    }
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(socket->Pending(), 0);
    EXPECT_FALSE(socket->Connected());
}

} // namespace
