#include "online/networkstate.h"

#include <QNetworkInformation>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

class SystemNetworkState final : public NetworkState
{
public:
    bool appearsOffline() const override
    {
        // Without NetworkManager on the system bus (containers, minimal desktops) no backend
        // loads or the state stays Unknown; neither may silence a report.
        static const bool loaded = QNetworkInformation::loadBackendByName(u"networkmanager"_s) ||
                                   QNetworkInformation::loadDefaultBackend();
        const QNetworkInformation *info = loaded ? QNetworkInformation::instance() : nullptr;
        if (!info)
            return false;
        // Local or site-only reachability cannot reach a stream's host on the internet either.
        const auto reach = info->reachability();
        return reach != QNetworkInformation::Reachability::Unknown &&
               reach != QNetworkInformation::Reachability::Online;
    }
};

const NetworkState *g_override = nullptr;

} // namespace

const NetworkState &networkState()
{
    static const SystemNetworkState system;
    return g_override ? *g_override : system;
}

const NetworkState *setNetworkState(const NetworkState *state)
{
    const NetworkState *previous = g_override;
    g_override = state;
    return previous;
}

} // namespace mavrel
