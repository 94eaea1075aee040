// Stampo: stamps the summary of a PIE Sum8 / PIF Sum1 disc quality scan
// onto the scan's graph picture. Usage: stampo REPORT.html...
#include "run.h"

int main(int argc, char** argv) { return stampo::run(argc, argv); }
