// The main of every benchmark program: the usual run, then the summary of
// targets against their yardsticks.
#include "support/RatioSummary.h"

int main(int argc, char** argv) { return quill::bench::runWithSummary(argc, argv); }
