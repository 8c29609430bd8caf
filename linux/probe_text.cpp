// On Linux the command line and file names are bytes, and stay unchanged.
#include "tools/probe_text.h"

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string Utf8ToHostAnsi(const std::string& utf8) { return utf8; }
