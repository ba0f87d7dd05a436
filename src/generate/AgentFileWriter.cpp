// The agent configuration files: the identity, the local settings, the
// services, and the installer's test settings appended.
#include "generate/ConfigurationWriter.h"

#include <cstring>

#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"
#include "text/Text.h"

using namespace tavgen;

namespace {

// The lines every family shares, with the family's own ones at their places.
void WriteIniLines(CConfigurationWriter& p, const FamilyRow& f, const CMonitoredServer& e, int index) {
    const AgentFileLines own = f.agent(p, e);
    const std::string name = e.GetServerName();
    const std::string etcToken = p.Params().GetEtcPath(PARAM_AT_TOKEN);
    const std::string binToken = p.Params().GetBinPath(PARAM_AT_TOKEN);
    p.WriteGenerated(GeneratedFile::AgentConfiguration,
                     ";\n"
                     "%s\n"
                     ";Copyright (c) Veltra Corporation. All rights reserved.\n"
                     ";\n"
                     ";This file is generated from tavntsup program.\n"
                     ";\n"
                     "\n"
                     "[Identity]\n"
                     "VelProd=%s\n"
                     "VelVers=301\n"
                     "VelDesc=Veltra %s Monitoring Agent\n"
                     "VelTask=%s\n"
                     "TixDesc=%s Monitoring Agent\n"
                     "TixVers=V301\n"
                     "\n",
                     f.header, f.product, f.description, name.c_str(), f.description);
    if (own.home_first)
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "VELTRA_HOME=%s\n"
                         "INSTANCENAME=%s\n",
                         etcToken.c_str(), name.c_str());
    else
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "INSTANCENAME=%s\n"
                         "VELTRA_HOME=%s\n",
                         name.c_str(), etcToken.c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration,
                     "\n"
                     "[Local Settings]\n"
                     "COLL_CTL_HOME=%s\n"
                     "TNC_PORTS=(2 135 %s)\n"
                     "TNC_FAMILIES=@Protocol@\n"
                     "COLL_LOGON=%s\n"
                     "COLL_PASSWORD=%s\n"
                     "COLL_ERRORLOG=%s\n",
                     etcToken.c_str(), p.Params().GetPortNumber(PARAM_AT_TOKEN).c_str(), e.GetLogin().c_str(),
                     e.GetPassword().c_str(), e.GetErrorlogName().c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration, "%s", own.version.c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration,
                     "COLL_SERVERID=@INSTANCENAME@\n"
                     "COLL_HOSTNAME=@COMPUTERNAME@\n"
                     "COLL_PREFIX=%s\n"
                     "COLL_USESHM=1\n"
                     "COLL_BINPATH=%s\n"
                     "COLL_HOME=%s\n",
                     own.prefix, binToken.c_str(),
                     p.Params().GetLogPath(PARAM_AT_TOKEN).c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration, "%s", own.database.c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration, "CONFIG_VERSION=2.0.0\n");
    if (!own.closing.empty()) p.WriteGenerated(GeneratedFile::AgentConfiguration, "%s", own.closing.c_str());
    p.WriteGenerated(GeneratedFile::AgentConfiguration,
                     "\n"
                     "[Services]\n"
                     "Add=SXA%sAgent%d\n"
                     "Add=SXA%sCollector%d\n"
                     "\n"
                     "[SXA%sAgent%d]\n"
                     "Name=%sAGENT%d\n"
                     "Label=Veltra Sentrix Agent for %s Instance %s\n"
                     "Service=%sAGENT.EXE -Hkey \"@VelProd@\\@VelVers@\\@VelTask@\"\n"
                     "Path=%s\n"
                     "Start=Auto\n"
                     "Action=NOStart\n"
                     "\n"
                     "[SXA%sCollector%d]\n"
                     "Name=%sCOLL%d\n"
                     "Label=Veltra Collector for %s Instance %s\n"
                     "Service=%sCOLL.EXE -Hkey \"@VelProd@\\@VelVers@\\@VelTask@\"\n"
                     "Path=%s\n"
                     "Start=Auto\n"
                     "Action=NOStart\n",
                     f.service_key, index, f.service_key, index, f.service_key, index, f.product, index,
                     f.service_key, name.c_str(), f.product, binToken.c_str(), f.service_key, index, f.product,
                     index, f.service_key, name.c_str(), CollectorFor(p, own.collector.c_str()), binToken.c_str());
}

}  // namespace

// ---- the test-settings copy appended to every configuration file ----------------

// The lines of "tavtset.ini", each ended by "\n", ready to be appended as
// they are: a "%" in them is text, not a format.
std::string CConfigurationWriter::ReadLocalSettings() {
    std::string lines;
    FILE* file = tavplat::OpenFile("tavtset.ini", "rb");
    if (!file) return lines;
    std::string content;
    char block[8192];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) content.append(block, got);
    fclose(file);

    lines.reserve(content.size() + 2);
    size_t position = 0;
    std::string_view line;
    while (tavtext::NextLine(content, &position, &line)) {
        // A line is text up to a NUL byte, as a line written with "%s" would be.
        lines.append(line.substr(0, line.find('\0')));
        lines += '\n';
    }
    return lines;
}

void CConfigurationWriter::WriteIniFiles(const FamilyRow& family, int count) {
    // The test settings are read once: per generation, or per call when a
    // writer runs on its own.
    std::string ownSettings;
    const std::string* settings = generation_settings_;
    if (!settings) {
        ownSettings = ReadLocalSettings();
        settings = &ownSettings;
    }
    WriteServerFiles(family, count, {GeneratedFile::AgentConfiguration, "agent configuration", family.agent_prefix, ".ini"},
                     [&](const CMonitoredServer& entry, int index, const std::string& path) {
                         WriteGenerated(GeneratedFile::Include, "Add=%s\n", path.c_str());
                         WriteIniLines(*this, family, entry, index);
                         WriteGenerated(GeneratedFile::AgentConfiguration, "%s", settings->c_str());
                     });
}
