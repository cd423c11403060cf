// The entry point of the benchmark programs that bring none of their own: the application's real
// platform collaborators, then the benchmarks the command line asks for.
#include "platform/assembly/application/ApplicationServices.hpp"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    platform::installApplicationServices();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
