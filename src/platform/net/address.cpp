// Addresses as players type them: "HOST", "HOST:PORT", "[V6]:PORT".
#include <cctype>

#include "platform/net/transport.h"

namespace platform::net {

bool parseAddress(const std::string& text, std::uint16_t defaultPort, std::string& host, std::uint16_t& port,
                  std::string& error) {
    host = text;
    port = defaultPort;
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) {
            error = "\"" + text + "\" lacks the ] of its address";
            return false;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') {
                error = "\"" + text + "\": expected :PORT after ]";
                return false;
            }
            portText = text.substr(close + 2);
        }
    } else if (const std::size_t colon = text.find(':'); colon != std::string::npos) {
        if (text.find(':', colon + 1) != std::string::npos) {
            host = text;  // an IPv6 address without brackets, no port
        } else {
            host = text.substr(0, colon);
            portText = text.substr(colon + 1);
        }
    }
    if (host.empty()) {
        error = "\"" + text + "\" names no host";
        return false;
    }
    if (host.find(':') != std::string::npos) {
        error = "\"" + host + "\" is an IPv6 address; this build's network library (ENet 1.3) speaks IPv4 only: " +
                "give an IPv4 address or a name that has one";
        return false;
    }
    if (text.find(':') != std::string::npos && portText.empty() && text.back() == ':') {
        error = "\"" + text + "\" has an empty port";
        return false;
    }
    if (!portText.empty()) {
        long value = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || value > 65535) {
                value = -1;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) {
            error = "\"" + portText + "\" is not a port (1 to 65535)";
            return false;
        }
        port = std::uint16_t(value);
    }
    return true;
}

}  // namespace platform::net
