#pragma once

#include <string>

// Text number id of the program's string table, in the system code page;
// empty when the table has no such entry.
std::string LoadStr(unsigned id);
