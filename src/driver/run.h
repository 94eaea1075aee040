#pragma once
// The report driver: handles each report path of the command line in
// turn and returns the process's exit status.

namespace stampo {

int run(int argc, char** argv);

}  // namespace stampo
