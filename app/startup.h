// Start-up: the process values every layer reads, set once before the run begins.
#pragma once

#include "runtime/text.h"

namespace tarvex {

// Fills descriptors 0, 1 and 2 that are closed with /dev/null, descriptor 1 read-only so that
// every write to it fails: no file opened later may take a standard stream's place.
void guardstandarddescriptors();

// Installs the fault handlers, the handlers that end the process with 128 + the signal number
// on SIGINT, SIGTERM and SIGHUP, records the program file, changes the working directory to
// the program's own directory (a failure is ignored).
void startup();
// Only records the program file, its directory and the starting directory, for a host that
// keeps the working directory it was started in (the debug adapter).
void recordprocess();

// The working directory the program was started in, before start-up left it; empty when it
// could not be read.
const Text& startdir();
// A path named on the command line: as given when absolute, else from startdir().
Text fromstartdir(const Text& path);
// A file the program ships with (its font, its default program): beside the program, as in a
// build folder or a copied one, else in ../share/tarvex/ from the program's directory, where an
// installation puts it. The name as given when neither holds it, so a failure names it as typed.
Text datafile(const Text& name);
// As datafile(), but empty when neither place holds the file.
Text shippedfile(const Text& name);
const Text& apptitle(); // "Tarvex Application"

} // namespace tarvex
