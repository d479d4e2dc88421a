// The tour: the program walks its built screens as a user would, through the
// UI test driver against whatever service it is pointed at (the demo service
// for the README and CI), and writes a PNG of each screen into a folder.
//
//   kestrowline --service URL --tour DIR [--tour-login USER:PASSWORD]
//
// Steps, each a picture: 01-home, 02-module (the current-affairs menu open),
// 03-news (the news list), 04-article (its first article), 05-comments (the
// article's comments), 06-login (the login screen, filled in when a member is
// given), 07-commented (the comments after posting one as that member), and
// then one screen of every other module a home tile or the title bar opens:
// 08-direct-line, 09-party-building (a web page), 10-party-school,
// 11-grid, 12-convenience, 13-sms (its organisation tree), 14-sign-in and
// 15-mervio (the public-account page); last 16-representative (a party
// representative's page with its messages, reached through the
// representatives' directory that no tile opens). A list shown must have
// rows. The grid, the SMS platform, the sign-in and the representative need
// the member to be logged in; when the login did not go through, they are
// skipped saying so.
//
// The tour's clock stands at 09:41 on the 28th of the month, so that its
// pictures are the same on every day of a month.
//
// A tour replaces an earlier tour's pictures: those (by their names above)
// are removed first; any other file in the folder stays. A folder it cannot
// make or write into fails the tour before any step, saying why. A step whose
// screen this build does not have is skipped with a note; a step whose
// screen does not settle within its time, or during which the service
// failed, still leaves its picture but makes the run fail, with the reason
// (the service's error as the log gives it); once the service has failed
// or not answered, the steps after are skipped. A picture is written whole
// or not at all: one that cannot be written (a full disk) fails its step,
// naming the file and the reason, and leaves nothing of itself; the
// pictures written before it stay. The count printed at the end is of the
// pictures written.
// Interrupted (options.interrupted), the tour ends after the step under way,
// which stops waiting for its screen, and says so.
#pragma once

#include <iosfwd>

#include "app/shell/Program.h"

namespace tour {

// 0 when every step was taken, settled and its picture written; 1 otherwise.
int run(const TourOptions& options, const ProgramHosts::Launch& launch, std::ostream& out, std::ostream& err);

}  // namespace tour
