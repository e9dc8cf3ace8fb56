// tarvex: runs a two-dimensional program of many pointers and shows every tick in a window.
#include "app/driver.h"

int main(int argc, char** argv) {
  tarvex::runsequence(argc, argv);
}
