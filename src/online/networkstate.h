#pragma once

namespace mavrel {

// Whether this machine has a connection to the network, as far as the desktop can tell.
class NetworkState
{
public:
    virtual ~NetworkState() = default;
    // True when the system knows of no way to the internet; an unknown state counts as online.
    virtual bool appearsOffline() const = 0;
};

// The answer in use: the system's (Qt's network information, with the NetworkManager backend
// where present, loaded on first use), or the one a test installed.
const NetworkState &networkState();
// Installs `state` (not owned; nullptr restores the system's answer) and returns the one it
// replaces.
const NetworkState *setNetworkState(const NetworkState *state);

} // namespace mavrel
