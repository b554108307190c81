// classlingo-cli: lists, exports and replaces the strings of a class file or language pack.

#include "Cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    return RunCli(argc, argv, std::cout, std::cerr);
}
