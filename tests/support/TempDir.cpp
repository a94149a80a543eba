#include "tests/support/TempDir.h"

#include <stdlib.h>

std::u16string MakeTempFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/charttools-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  return platform::DecodeUtf8(pattern);
}
