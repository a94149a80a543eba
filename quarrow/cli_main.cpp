#include "quarrow/cli.h"
#include "toolkit/cli/mdlCli.h"

int main(int argc, char** argv) { return mdlCli::Main(argc, argv, quarrow::CliMain); }
