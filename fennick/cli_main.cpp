#include <string>
#include <vector>

#include "cli.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::DecodeUtf8(argv[i]));
  return fennick::CliMain(args);
}
