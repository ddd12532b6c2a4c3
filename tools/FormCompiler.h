// Compiles a readable window description ("object Form1: TForm1 ... end") into the binary
// "TPF0" component stream that the framework reads from the program's resources.
#pragma once

#include <string_view>

#include "tools/ToolSupport.h"

// Input is taken as raw 8-bit bytes. Throws SourceError pointing at the offending text.
Bytes compileFormDescription(std::string_view text);
