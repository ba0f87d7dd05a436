// The answers-file template: an answers file, made from what discovery found,
// that monitors every discovered server of one family when played unchanged.
#ifndef TAV_VIEWS_ANSWERSTEMPLATE_H
#define TAV_VIEWS_ANSWERSTEMPLATE_H

#include <string>
#include <string_view>

#include "discovery/Family.h"

class CDbServerList;

namespace tavview {

// The template for the family's servers in the list, on the named computer:
// a comment header, a [monitor NAME] section per server with its discovered
// values and its login and password lines commented out, and [ok]. A server
// that no section could reach when the file is played gets a comment saying
// why instead. Texts stay in the system's code page, as the file is read.
std::string AnswersTemplate(const CDbServerList& servers, Family family, std::string_view computer);

}  // namespace tavview

#endif
