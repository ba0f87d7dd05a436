// The agent configuration files: the identity, the local settings, the
// services, and the installer's test settings appended.
#include "generate/ConfigurationWriter.h"

#include <cstring>

#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"
#include "text/Text.h"

using namespace tavgen;

namespace {

// ---- agent configuration lines ----

// The lines that name the version, which differ by family.
void WriteIniVersionLines(CConfigurationWriter& p, Family family, const CMonitoredServer& e) {
    switch (family) {
    case Family::Oracle:
        p.WriteGenerated(GeneratedFile::AgentConfiguration, "COLL_VERSION=%s\n",
                         OracleVersionCode(e.GetServerVersion()));
        break;
    case Family::Sybase:
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "COLL_VERSION=TUS\n"
                         "COLL_DBVERSION=%s\n"
                         "SYBASE_OCS=%s\n",
                         e.GetServerVersion().c_str(),
                         SybaseOcsDirectory(e.GetDollarServer(), e.GetServerVersion()).c_str());
        break;
    case Family::MsSql:
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "COLL_CLUSTERSERVER=%s\n"
                         "COLL_VERSION=TUM\n",
                         e.GetClusterServer().c_str());
        break;
    case Family::Informix:
        p.WriteGenerated(GeneratedFile::AgentConfiguration, "COLL_VERSION=TUI\n");
        break;
    default: break;
    }
}

// The lines that say where the database lives, which differ by family.
void WriteIniDatabaseLines(CConfigurationWriter& p, Family family, const CMonitoredServer& e) {
    const std::string home = e.GetDollarServer(), name = e.GetServerName();
    switch (family) {
    case Family::Oracle:
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "ORACLE_HOME=%s\n"
                         "ORACLE_SID=%s\n"
                         "COLL_DBHOME=%s\n"
                         "DELMA_PRODUCT=AFF_ALL_ORACLE\n",
                         home.c_str(), name.c_str(), home.c_str());
        break;
    case Family::Sybase:
        p.WriteGenerated(GeneratedFile::AgentConfiguration, "DELMA_PRODUCT=AFF_ALL_SYBASE\n");
        break;
    case Family::MsSql:
        p.WriteGenerated(GeneratedFile::AgentConfiguration, "MSSQL_HOME=%s\n", home.c_str());
        break;
    case Family::Informix:
        p.WriteGenerated(GeneratedFile::AgentConfiguration,
                         "INFORMIXDIR=%s\n"
                         "INFORMIXSERVER=%s\n"
                         "ONCONFIG=onconfig\n"
                         "INFORMIXSQLHOSTS=\\\\%s\n"
                         "DELMA_PRODUCT=AFF_ALL_INFORMIX\n",
                         home.c_str(), name.c_str(), p.Params().GetComputerName().c_str());
        break;
    default: break;
    }
}

void WriteIniLines(CConfigurationWriter& p, const AgentFamily& f, const CMonitoredServer& e, int index) {
    const std::string name = e.GetServerName();
    const std::string etcToken = p.Params().GetEtcPath(PARAM_AT_TOKEN);
    const std::string binToken = p.Params().GetBinPath(PARAM_AT_TOKEN);
    const char* ownCollector = f.family == Family::Oracle ? OracleVersionCode(e.GetServerVersion())
                                                         : f.product;
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
    if (f.family == Family::Sybase)
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
    WriteIniVersionLines(p, f.family, e);
    p.WriteGenerated(GeneratedFile::AgentConfiguration,
                     "COLL_SERVERID=@INSTANCENAME@\n"
                     "COLL_HOSTNAME=@COMPUTERNAME@\n"
                     "%s\n"
                     "COLL_USESHM=1\n"
                     "COLL_BINPATH=%s\n"
                     "COLL_HOME=%s\n",
                     f.family == Family::Informix ? "COLL_PREFIX=\\TEMP" : "COLL_PREFIX=TEMP", binToken.c_str(),
                     p.Params().GetLogPath(PARAM_AT_TOKEN).c_str());
    WriteIniDatabaseLines(p, f.family, e);
    p.WriteGenerated(GeneratedFile::AgentConfiguration, "CONFIG_VERSION=2.0.0\n");
    if (f.family == Family::MsSql)
        p.WriteGenerated(GeneratedFile::AgentConfiguration, "TUM_NAMED_INSTANCE=%d\n", IsNamedInstance(name));
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
                     index, f.service_key, name.c_str(), CollectorFor(p, ownCollector), binToken.c_str());
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

void CConfigurationWriter::WriteIniFiles(Family family, int count) {
    const AgentFamily& f = AgentFamilyOf(family);
    // The test settings are read once: per generation, or per call when a
    // writer runs on its own.
    std::string ownSettings;
    const std::string* settings = generation_settings_;
    if (!settings) {
        ownSettings = ReadLocalSettings();
        settings = &ownSettings;
    }
    WriteServerFiles(family, count, {GeneratedFile::AgentConfiguration, "agent configuration", f.ini_prefix, ".ini"},
                     [&](const CMonitoredServer& entry, int index, const std::string& path) {
                         WriteGenerated(GeneratedFile::Include, "Add=%s\n", path.c_str());
                         WriteIniLines(*this, f, entry, index);
                         WriteGenerated(GeneratedFile::AgentConfiguration, "%s", settings->c_str());
                     });
}

void CConfigurationWriter::WriteOracleIni(int count) { WriteIniFiles(Family::Oracle, count); }
void CConfigurationWriter::WriteSybaseIni(int count) { WriteIniFiles(Family::Sybase, count); }
void CConfigurationWriter::WriteMsSqlIni(int count) { WriteIniFiles(Family::MsSql, count); }
void CConfigurationWriter::WriteInformixIni(int count) { WriteIniFiles(Family::Informix, count); }
