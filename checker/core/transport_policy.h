// Which transport a connection uses: the account's choice, the port, what
// the server offers and where it is. Pure, so that the whole table is tested
// without a server.
#pragma once

#include <optional>
#include <string_view>

namespace zvrx {

enum class TransportChoice {
  kAuto,      // TLS on 995, else STLS when offered, plain only to this machine
  kTls,       // implicit TLS on any port
  kStartTls,  // STLS required
  kPlain,     // POP3 as the written system speaks it, chosen knowingly
};

inline constexpr int kImplicitTlsPort = 995;

// The words of the extension settings, in the order of the enum.
inline constexpr std::string_view kTransportWords[] = {"auto", "tls", "starttls", "plain"};
std::string_view TransportWord(TransportChoice choice);
// Any case; nullopt for an unknown word.
std::optional<TransportChoice> ParseTransportWord(std::string_view word);

// Before the greeting: does TLS start right after the TCP connect?
bool StartsWithTls(TransportChoice choice, int port);

// Does the client ask CAPA after a plain greeting to learn about STLS?
bool AsksCapabilities(TransportChoice choice, int port);

enum class TransportStep {
  kStartTls,      // send STLS, then the handshake
  kStayPlain,     // log in without TLS
  kRefuseNoStls,  // TLS was required but the server does not offer STLS
  kRefusePlain,   // auto found no TLS and the server is not on this machine
};

// After a plain greeting (and CAPA when asked): what to do before login.
TransportStep StepAfterGreeting(TransportChoice choice, bool stls_offered, bool peer_is_loopback);

// Does a CAPA reply's list (the lines behind its status line) name STLS?
bool CapabilitiesOfferStls(std::string_view capability_lines);

}  // namespace zvrx
