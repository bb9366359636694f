#pragma once
// A TCP peer on 127.0.0.1 (port 0: the system picks one) that collects what it receives and
// answers each arrival with a reply sent in chunks, chunkGapMs apart.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <vector>

namespace velor::test {

struct LoopbackPeer {
    QTcpServer server;
    QTcpSocket* client = nullptr;
    QByteArray received;
    std::vector<QByteArray> replyChunks;
    int chunkGapMs = 30;

    LoopbackPeer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, [this] { onData(); });
        });
    }
    quint16 port() const { return server.serverPort(); }
    void onData() {
        received += client->readAll();
        int delay = 0;
        for (const QByteArray& chunk : replyChunks) {
            QTimer::singleShot(delay, client, [c = client, chunk] { c->write(chunk); });
            delay += chunkGapMs;
        }
    }
};

}  // namespace velor::test
