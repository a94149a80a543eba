#include "cli.h"
#include "mdlCli.h"

int main(int argc, char** argv) { return mdlCli::Main(argc, argv, fennick::CliMain); }
