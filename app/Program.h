// The program: options, launch, and either the run until it is stopped or a
// print of the home screen.
//
//   kestrowline [--service URL] [--service-namespace NS]   runs until SIGINT or SIGTERM
//   kestrowline --dump-home [--wait SECONDS]                 starts, waits for the start-up
//                                                            requests (10 s at most), prints
//                                                            the screen as text and exits
//
// The program's entry registers the modules built into it before calling run.
#pragma once

#include <iosfwd>

int runKestrowline(int argc, char** argv, std::ostream& out, std::ostream& err);
