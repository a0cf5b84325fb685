#include "app/session.h"

int main(int argc, char** argv) { return skimbo::run_session(argc, argv); }
