#include <cstdio>

int main() {
  std::fputs("xtancar: the form is not assembled yet\n", stderr);
  return 1;
}
