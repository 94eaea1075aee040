#pragma once
// The report driver: handles each report path of the command line in
// turn and returns the process's exit status.

#include "bmp.h"

namespace stampo {

int run(int argc, char** argv);

// Why a picture cannot be stamped, as one line of the console.
const char* bmpmessage(BmpError e);

}  // namespace stampo
