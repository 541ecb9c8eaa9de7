// sr-eval DIR: see sr_eval.h; the exit status is 0 when a picture was scored.
#include <QDir>
#include <cstdio>

#include "tools/sreval/sr_eval.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sr-eval DIR   (every PNG of at least 768 x 576 in DIR)\n");
    return 2;
  }
  sreval::Evaluator e;
  if (!e.ok()) {
    std::fprintf(stderr, "sr-eval: a model did not load\n");
    return 1;
  }
  const int n = e.scoreFolder(QString::fromLocal8Bit(argv[1]), stdout);
  if (n < 0) {
    std::fprintf(stderr, "sr-eval: cannot read %s\n", argv[1]);
    return 1;
  }
  if (n == 0) {
    std::fprintf(stderr, "sr-eval: no PNG of at least 768 x 576 in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
