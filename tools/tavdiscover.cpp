// tavdiscover: runs the server discovery of one database family, as a setup run
// does, and prints every record found; or lists the maker's installation paths.
#include "discovery/tavdisc.h"
#include "platform/RegistryReader.h"
#include "registry/MachineRegistry.h"
#include "registry/MemoryRegistry.h"
#include "report/Report.h"
#include "setup/tavixpth.h"
#include "text/Text.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const USAGE =
    "usage: tavdiscover [--registry FILE]... FAMILY\n"
    "       tavdiscover [--registry FILE]... --install-paths [MACHINE]\n"
    "       tavdiscover --help\n"
    "\n"
    "Runs the discovery of one database family and prints every server record it\n"
    "finds, in list order. FAMILY is a product keyword of the setup run (ora oracle\n"
    "tuo, syb sybase tus, sql tum mssql, informix tui ifx) or a family code\n"
    "(1 Oracle, 2 Sybase, 3 Microsoft SQL Server, 4 Informix). For Oracle the\n"
    "instances' parameter files are read afterwards, as the setup run reads them.\n"
    "\n"
    "--install-paths lists what the install-path lookup prints for MACHINE (the\n"
    "local machine when none is given), then the four paths it found.\n"
    "\n"
    "--registry FILE reads a .reg snapshot instead of the machine's registry; it\n"
    "may be repeated, later files adding to earlier ones.\n";

// The family a keyword (in any case) or a code names; 0 for none.
int FamilyOf(const std::string& word) {
    if (word.size() == 1 && word[0] >= '1' && word[0] <= '4')
        return word[0] - '0';
    return FamilyOfProduct(tavtext::LowerCase(word).c_str());
}

int Usage(const char* problem) {
    fprintf(stderr, "tavdiscover: %s\n%s", problem, USAGE);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> snapshots;
    std::vector<std::string> words;
    bool installPaths = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(USAGE, stdout);
            return 0;
        }
        if (arg == "--registry") {
            if (i + 1 >= argc) return Usage("--registry needs a file name");
            snapshots.push_back(argv[++i]);
        } else if (arg == "--install-paths") {
            installPaths = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            words.push_back(arg);
        }
    }

    int family = 0;
    if (installPaths) {
        if (words.size() > 1) return Usage("--install-paths takes at most one machine name");
    } else {
        if (words.size() != 1) return Usage("name one family");
        family = FamilyOf(words[0]);
        if (family == 0) return Usage((words[0] + " is not a supported product").c_str());
    }

    std::unique_ptr<tavplat::RegistryReader> registry;
    if (snapshots.empty()) {
        std::vector<std::string> problems;
        registry = tavreg::OpenMachineRegistry(&problems);
        for (const std::string& line : problems) fprintf(stderr, "%s\n", line.c_str());
    } else {
        auto memory = std::make_unique<tavreg::MemoryRegistry>();
        for (const std::string& file : snapshots) {
            std::string error;
            std::vector<std::string> warnings;
            bool loaded = memory->LoadFile(file, &error, &warnings);
            for (const std::string& line : warnings) fprintf(stderr, "tavdiscover: %s\n", line.c_str());
            if (!loaded) {
                fprintf(stderr, "tavdiscover: %s\n", error.c_str());
                return 1;
            }
        }
        registry = std::move(memory);
    }

    if (installPaths) {
        const InstallPaths paths =
            ReadInstallPaths(*registry, words.empty() ? nullptr : words[0].c_str(), StandardReport());
        printf("BinPath : %s\nDllPath : %s\nEtcPath : %s\nLogPath : %s\n", paths.bin.c_str(), paths.dll.c_str(),
               paths.etc.c_str(), paths.log.c_str());
        return 0;
    }

    CDbServerList list(*registry);
    list.DiscoverFamily(family);
    for (int i = 0; i < list.GetCount(family); ++i)
        list.GetAt(i, family)->Dump(stdout);
    fflush(stdout);
    return 0;
}
