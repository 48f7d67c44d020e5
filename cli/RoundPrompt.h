#pragma once
// Between a station's rounds the operator puts the next chips in the sockets
// and presses Enter. Before that he may set a socket aside (a worn contact:
// it starts no chip) or take one back, without a restart.
#include <csignal>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "station/Station.h"

namespace otp {

// True for the next round; false to stop (q, the end of the input, Ctrl-C).
// `tell` gets the writer set aside or taken back and what it says of it,
// for the round's lines.
using SocketTold = std::function<void(StationWriter&, const std::string&)>;
bool NextRoundWanted(std::istream& in, std::ostream& err, bool inIsTerminal, const volatile std::sig_atomic_t* flag,
                     Station& station, const SocketTold& tell);

}  // namespace otp
