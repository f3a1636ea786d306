#include "checker/core/transport_policy.h"

#include <cctype>

namespace zvrx {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string_view TransportWord(TransportChoice choice) {
  return kTransportWords[static_cast<int>(choice)];
}

std::optional<TransportChoice> ParseTransportWord(std::string_view word) {
  for (int i = 0; i < 4; ++i) {
    if (SameWord(word, kTransportWords[i])) return static_cast<TransportChoice>(i);
  }
  return std::nullopt;
}

bool StartsWithTls(TransportChoice choice, int port) {
  return choice == TransportChoice::kTls ||
         (choice == TransportChoice::kAuto && port == kImplicitTlsPort);
}

bool AsksCapabilities(TransportChoice choice, int port) {
  return !StartsWithTls(choice, port) &&
         (choice == TransportChoice::kAuto || choice == TransportChoice::kStartTls);
}

TransportStep StepAfterGreeting(TransportChoice choice, bool stls_offered, bool peer_is_loopback) {
  switch (choice) {
    case TransportChoice::kPlain:
      return TransportStep::kStayPlain;
    case TransportChoice::kStartTls:
      return stls_offered ? TransportStep::kStartTls : TransportStep::kRefuseNoStls;
    case TransportChoice::kAuto:
      if (stls_offered) return TransportStep::kStartTls;
      // The password never leaves this machine on loopback.
      return peer_is_loopback ? TransportStep::kStayPlain : TransportStep::kRefusePlain;
    case TransportChoice::kTls:
      break;  // never greets in plain text
  }
  return TransportStep::kRefuseNoStls;
}

bool CapabilitiesOfferStls(std::string_view lines) {
  while (!lines.empty()) {
    size_t end = lines.find('\n');
    std::string_view line = lines.substr(0, end);
    lines = end == std::string_view::npos ? std::string_view{} : lines.substr(end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    // The capability is the first word of its line.
    size_t blank = line.find_first_of(" \t");
    if (SameWord(line.substr(0, blank), "STLS")) return true;
  }
  return false;
}

}  // namespace zvrx
