// The tour: the program walks its built screens as a user would, through the
// UI test driver against whatever service it is pointed at (the demo service
// for the README and CI), and writes a PNG of each screen into a folder.
//
//   kestrowline --service URL --tour DIR [--tour-login USER:PASSWORD]
//
// Steps, each a picture: 01-home, 02-module (the current-affairs menu open),
// 03-news (the news list), 04-article (its first article), 05-comments (the
// article's comments), 06-login (the login screen, filled in when a member is
// given), 07-commented (the comments after posting one as that member),
// 08-public-account (the "先锋Velmarsh" tile's page), 09-representative (a
// party representative's page with its messages, reached through the
// representatives' directory that no tile opens, as that member). A
// step whose screen this build does not have is skipped with a note; a step
// whose screen does not settle within its time still leaves its picture but
// makes the run fail.
#pragma once

#include <iosfwd>

#include "app/shell/Program.h"

namespace tour {

// 0 when every step taken settled and its picture was written; 1 otherwise.
int run(const TourOptions& options, const ProgramHosts::Launch& launch, std::ostream& out, std::ostream& err);

}  // namespace tour
