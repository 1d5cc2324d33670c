#include "app/Modes.h"

int main(int argc, char** argv) { return app::Main(argc, argv); }
