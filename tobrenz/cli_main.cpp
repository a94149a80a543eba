#include "tobrenz/cli.h"
#include "toolkit/cli/mdlCli.h"

int main(int argc, char** argv) { return mdlCli::Main(argc, argv, tobrenz::CliMain); }
