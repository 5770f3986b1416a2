#include <cstdio>

int main() {
  std::printf("tarnwick-watch %s\n", TARNWICK_VERSION);
  return 0;
}
