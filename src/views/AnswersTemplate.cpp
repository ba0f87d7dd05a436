// The answers-file template: every discovered server of one family as a
// [monitor NAME] section, its discovered values beside it as comments, so that
// the file monitors them all with the default account when played as it is.
#include "views/AnswersTemplate.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "discovery/ServerList.h"
#include "discovery/ServerNameRules.h"
#include "discovery/ServiceNaming.h"
#include "generate/FamilyTable.h"
#include "monitor/MonitoredSet.h"
#include "text/Text.h"
#include "views/AnswersView.h"

namespace tavview {

namespace {

using tavtext::Format;

// A comment is one line: a control character of a discovered text shows as "?".
std::string CommentText(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return line;
}

// The fields that the section's keys do not carry, as the record names them.
std::string DescriptionLines(const CDbServer& server) {
    std::string lines;
    for (const RecordField& field : server.GetTextFields()) {
        const std::string_view name = field.name;
        if (field.text.empty() || name == "server_name" || name == "server_version" || name == "dollar_server" ||
            name == "errorlog_name")
            continue;
        lines += Format("#   %s : %s\n", field.name, CommentText(field.text).c_str());
    }
    lines += Format("#   registry_view : %s\n", CommentText(server.GetRegistryView()).c_str());
    if (!server.GetIsServerValid())
        lines += "#   is_server_valid : 0\n";
    // What discovery learnt beyond the registry, only where it learnt something.
    if (server.GetFoundBy() == FoundBy::Service)
        lines += Format("#   found_by : %s\n", FoundByName(server.GetFoundBy()));
    if (server.GetService())
        lines += Format("#   service : %s\n", CommentText(ServiceSummary(server)).c_str());
    if (server.GetServerFamily() == Family::MsSql)
        if (const std::optional<int> port = static_cast<const CMsSqlServer&>(server).GetTcpPort())
            lines += Format("#   tcp_port : %d\n", *port);
    return lines;
}

// A key's line, commented out.
std::string KeyLine(const char* key, const std::string& value) {
    const std::string text = CommentText(value);
    return Format("# %-8s =%s%s\n", key, text.empty() ? "" : " ", text.c_str());
}

std::string Section(const CDbServer& server) {
    return "\n[monitor " + server.GetServerName() + "]\n" + DescriptionLines(server) +
           KeyLine("version", server.GetServerVersion()) + KeyLine("home", server.GetDollarServer()) +
           KeyLine("errorlog", server.GetErrorlogName()) + KeyLine("login", "") + KeyLine("password", "");
}

}  // namespace

std::string AnswersTemplate(const CDbServerList& servers, Family family, std::string_view computer) {
    const char* title = FamilyTitle(family);
    std::string text = Format("# Answers for the %s agents on %s.\n", title ? title : "database",
                              CommentText(computer).c_str());
    text +=
        "# Made from what discovery found there. Played as it is (tavsetup --answers\n"
        "# FILE), it monitors every server below with the default login and password\n"
        "# \"wicket\". To give a server an account of its own, remove the \"#\" before\n"
        "# its login and password lines and fill them in; version, home and errorlog\n"
        "# can be changed in the same way.\n";

    // The file is played against the dialog: [monitor NAME] takes the first
    // server of that name (ignoring case) still available, and the dialog
    // refuses a server that a monitored entry already stands for.
    // The servers still available go by their names in lower case, each
    // name's in discovery order; a server taken leaves from the front.
    const int count = servers.GetCount(family);
    std::unordered_map<std::string, std::deque<const CDbServer*>> available;
    for (int i = 0; i < count; ++i)
        available[tavtext::LowerCase(servers.GetAt(i, family)->GetServerName())].push_back(servers.GetAt(i, family));
    CMonitoredSet monitored;
    // The names listed, by the key Windows finds their files under.
    std::unordered_map<std::string, std::string> listedFiles;
    for (int i = 0; i < count; ++i) {
        const CDbServer& server = *servers.GetAt(i, family);
        const std::string name = server.GetServerName();
        const char* problem = NameOutOfReach(name);
        std::deque<const CDbServer*>& sameName = available[tavtext::LowerCase(name)];
        if (!problem && sameName.front() != &server)
            problem = "the server of that name left out above would be taken for it";
        if (!problem && monitored.Find(&server, family))
            problem = "it is a server above once more, which the dialog does not add twice";
        if (problem) {
            text += Format("\n# Not listed: discovery found \"%s\", which this file cannot name\n# (%s).\n",
                           CommentText(name).c_str(), problem);
            continue;
        }
        std::string refused = DiscoveredRefusal(server);
        const auto sameFiles = listedFiles.find(tavdiscovery::FileNameKey(name));
        if (refused.empty() && sameFiles != listedFiles.end())
            refused = "its files would be those of \"" + sameFiles->second + "\" above";
        if (!refused.empty()) {
            text += Format("\n# Not listed: discovery found \"%s\", which cannot be monitored\n# (%s).\n",
                           CommentText(name).c_str(), CommentText(refused).c_str());
            continue;
        }
        listedFiles.emplace(tavdiscovery::FileNameKey(name), name);
        sameName.pop_front();
        auto entry = std::make_unique<CMonitoredServer>();
        entry->AssignFromServer(server);
        monitored.Add(std::move(entry), family);
        text += Section(server);
    }
    if (count == 0)
        text += "\n# Discovery found no server.\n";
    return text + "\n[ok]\n";
}

}  // namespace tavview
