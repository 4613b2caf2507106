#pragma once

#include "server/http/httproutes.h"

namespace mavrel::server::demo {

// The demo catalogue's streams under /media/: the endless tunes radio.wav and radio2.wav, the
// chime, the test card, and the error pages of dead and moved stations (offline.asx,
// moved.asx).
void addMediaRoutes(HttpRoutes &routes);

} // namespace mavrel::server::demo
