// formc: compiles a readable window description into its binary stream.
#include <iostream>

#include "tools/FormCompiler.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: formc <input.txt> <output.bin>\n";
    return 1;
  }
  return runConversion(argv[1], argv[2], compileFormDescription);
}
