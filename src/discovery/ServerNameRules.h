// Server names become file names on Windows (Oracle_<name>.bat, a backslash
// making a subdirectory): the rules a name must keep, checked alike on every
// platform, and the key under which Windows would find its files.
#ifndef TAV_DISCOVERY_SERVERNAMERULES_H
#define TAV_DISCOVERY_SERVERNAMERULES_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CServerFields;

namespace tavdiscovery {

// Why the name cannot name a server's files, or empty when it can. A name is
// refused when it is empty; holds a control character, a character that is
// not in the ANSI code page, or one of < > : " / | ? * % ^ &; when a
// backslash-separated part of it is empty, "." or "..", ends in a dot or a
// blank, or is a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with
// or without an extension); or when it fails the value policy.
[[nodiscard]] std::string NameRefusal(std::string_view name);

// Why a discovered server cannot be monitored: its name is refused, or its
// cluster server name, which no dialog shows, fails the value policy. Empty
// when it can.
[[nodiscard]] std::string ServerRefusal(const CServerFields& server);

// The name as Windows compares file names: without the case of letters, in
// the ANSI code page, each part without its trailing dots and blanks.
[[nodiscard]] std::string FileNameKey(std::string_view name);

// Two names of one family whose files would be the same files.
struct NameCollision {
    size_t first = 0;
    size_t second = 0;
};

// The first pair of names (by the later one's place) that share a key.
[[nodiscard]] std::optional<NameCollision> FindNameCollision(const std::vector<std::string>& names);

// The line that refuses a collision, naming both servers.
[[nodiscard]] std::string CollisionMessage(const std::string& first, const std::string& second);

}  // namespace tavdiscovery

#endif
