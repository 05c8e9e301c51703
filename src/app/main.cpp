#include <cstdio>

int main() {
  std::fprintf(stderr, "norvane: start-up not assembled yet\n");
  return 1;
}
