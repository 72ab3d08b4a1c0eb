#include "CWindowServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "WindowLink.h"

namespace tandrel {

struct CWindowServer::Peer {
    UniqueFd fd;
    std::string in;
    UniqueFd token;  // the hand-over token that came with the message, if one did
    QSocketNotifier* notifier = nullptr;
};

CWindowServer::CWindowServer(UniqueFd listener, Handler handler)
    : m_listener(std::move(listener)), m_handler(std::move(handler)) {
    m_acceptNotifier = new QSocketNotifier(m_listener.get(), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &CWindowServer::OnAccept);
}

CWindowServer::~CWindowServer() = default;

void CWindowServer::OnAccept() {
    while (true) {
        const int fd = accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return;  // nothing more waiting (or a peer that gave up already)
        }
        // Only this user's processes may talk to the window.
        struct ucred cred {};
        socklen_t len = sizeof cred;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != geteuid()) {
            close(fd);
            continue;
        }
        auto peer = std::make_unique<Peer>();
        peer->fd = UniqueFd(fd);
        peer->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(peer->notifier, &QSocketNotifier::activated, this, [this, fd] { OnReadable(fd); });
        m_peers[fd] = std::move(peer);
        OnReadable(fd);
    }
}

void CWindowServer::OnReadable(int fd) {
    const auto it = m_peers.find(fd);
    if (it == m_peers.end()) {
        return;
    }
    Peer& peer = *it->second;
    const long n = ReceiveFromPeer(fd, &peer.in, &peer.token);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        Drop(fd);
        return;
    }
    std::vector<std::string> fields;
    bool bad = false;
    if (!DecodeMessage(&peer.in, &fields, &bad)) {
        if (bad) {
            Drop(fd);
        }
        return;
    }
    // The reply is a few bytes; a peer that does not read it only loses its own answer.
    const auto claim = [&peer] {
        bool taken = false;
        return peer.token.valid() && TakeHandOverToken(peer.token.get(), &taken).ok() && taken;
    };
    const std::string out = EncodeMessage(m_handler(fields, claim));
    [[maybe_unused]] const ssize_t sent =
        send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    Drop(fd);
}

void CWindowServer::Drop(int fd) {
    const auto it = m_peers.find(fd);
    if (it == m_peers.end()) {
        return;
    }
    it->second->notifier->setEnabled(false);
    it->second->notifier->deleteLater();
    m_peers.erase(it);
}

}  // namespace tandrel
