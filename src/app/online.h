// Online play from the command line: the link to the other game, the
// handshake, and the figures printed at the end.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/netplay.h"
#include "app/options.h"

namespace tb {

// Listens (--host) or connects (--join) and sets up the link; nullptr with the reason when it cannot.
std::unique_ptr<Netplay> openOnline(const Options& options, std::string& error);

// What the player is told while the link is made ("waiting for player 2 on UDP port 7777").
std::string onlineWaitingText(const Options& options, bool escapeGivesUp);

// Makes the link and checks both games match; `keepWaiting` runs between
// polls and returns false to give up (Escape). False with the reason when the
// link failed or was given up.
bool connectOnline(Netplay& netplay, const std::function<bool()>& keepWaiting, std::string& error);

// One line of figures: round trip, rollbacks, waits, traffic.
std::string onlineReport(const Netplay& netplay, long long passes);

}  // namespace tb
