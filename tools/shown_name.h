#pragma once
// How pixdim-compare prints a name, so that no name can add a line to its
// report or command the terminal: printable ASCII and valid UTF-8 stay as
// they are; a backslash is doubled; line feed, carriage return and tab
// become \n, \r and \t; every other control character (C0, DEL, and C1 as
// UTF-8) and every byte that is not part of valid UTF-8 becomes \xHH, the
// byte's value in two lowercase hex digits.

#include <string>

std::string ShownName(const std::string& name);
