#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UniqueFd.h"

class QSocketNotifier;

namespace tandrel {

// The window's end of the link to later starts of the program and to tandrel-cli (see
// WindowLink.h): it accepts connections on a listening socket, reads one message from each
// without ever waiting for a slow peer, hands it to the handler and sends the handler's reply.
// A message that is all there when its connection is accepted is handled at once, so messages
// that waited while the window was busy are handled in the order their callers connected.
//
// Window thread only.
class CWindowServer : public QObject {
    Q_OBJECT

  public:
    // Takes a message's fields and gives the reply's. `claim` takes the hand-over token that
    // came with the message (WindowLink.h): true for the one call that gets it, false when none
    // came or the caller has taken it back. A handler makes a change only after `claim` said
    // true, and checks everything that could refuse the change before it asks.
    using Handler = std::function<std::vector<std::string>(const std::vector<std::string>& fields,
                                                           const std::function<bool()>& claim)>;

    CWindowServer(UniqueFd listener, Handler handler);
    ~CWindowServer() override;

  private:
    struct Peer;
    void OnAccept();
    void OnReadable(int fd);
    void Drop(int fd);

    UniqueFd m_listener;
    Handler m_handler;
    QSocketNotifier* m_acceptNotifier;
    std::map<int, std::unique_ptr<Peer>> m_peers;
};

}  // namespace tandrel
