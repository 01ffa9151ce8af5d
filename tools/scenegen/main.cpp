#include "scenegen/scenegen.h"

int main(int argc, char** argv) {
  return talvo::scenegen::runScenegen(argc, argv);
}
