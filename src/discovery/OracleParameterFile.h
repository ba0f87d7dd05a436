// Oracle's initialisation parameter files, as discovery reads them.
#ifndef TAV_DISCOVERY_ORACLEPARAMETERFILE_H
#define TAV_DISCOVERY_ORACLEPARAMETERFILE_H

#include <string>
#include <vector>

#include "report/Report.h"

// The parameter file that holds an Oracle instance's parameters: the file
// itself, or the one its last parameter line names through IFILE. The IFILE
// lines it meets are told on the report's console.
std::string ResolveParameterFile(const char* path, CReport& report);

// The working lines of a parameter file as both of its readers see them
// (comment and empty lines left out); false when the file cannot be opened.
bool ReadParameterFileLines(const char* path, std::vector<std::string>* lines);

#endif
