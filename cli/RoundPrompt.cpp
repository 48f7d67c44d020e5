#include "cli/RoundPrompt.h"

#include <sstream>

#include "config/IniText.h"

namespace otp {
namespace {

// What an answer that names a socket does; empty when it is done, else why not.
std::string Answer(Station& station, const std::string& verb, const std::string& port,
                   const SocketTold& tell) {
    StationWriter* w = station.Find(port);
    if (!w) return port + " is not a writer of this station";
    if (w->Stopped()) return port + " has stopped (" + w->StopReason() + ")";
    const bool aside = verb == "ASIDE";
    if (w->Aside() == aside) return port + (aside ? " is set aside already" : " is not set aside");
    w->SetAside(aside);
    tell(*w, aside ? "set aside: it starts no chip until it is taken back (back " + port + ")"
                   : "taken back: it starts the next round's chip");
    return {};
}

}  // namespace

bool NextRoundWanted(std::istream& in, std::ostream& err, bool inIsTerminal, const volatile std::sig_atomic_t* flag,
                     Station& station, const SocketTold& tell) {
    for (;;) {
        err << "Put the next chips in the sockets and press Enter (q and Enter to stop; aside COMn or back COMn "
               "sets a socket aside or takes it back): "
            << std::flush;
        std::string answer;
        if (!std::getline(in, answer) || *flag) {
            err << "\n";
            return false;
        }
        if (!answer.empty() && answer.back() == '\r') answer.pop_back();
        if (!inIsTerminal) err << answer << "\n";
        std::istringstream words(answer);
        std::string verb, port, more;
        words >> verb >> port >> more;
        verb = UpperCase(verb);
        if (verb.empty()) return true;
        if (verb == "Q" && port.empty()) return false;
        std::string why;
        if ((verb == "ASIDE" || verb == "BACK") && !port.empty() && more.empty())
            why = Answer(station, verb, UpperCase(port), tell);
        else
            why = "'" + answer + "' is not an answer here: Enter for the next round, q to stop, aside COMn or back COMn";
        if (!why.empty()) err << "otpwriter-cli: " << why << "\n";
    }
}

}  // namespace otp
