// Run by libFuzzer once before the first input: the application's real platform collaborators,
// as every other program of ours assembles them.
#include "platform/assembly/application/ApplicationServices.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform::installApplicationServices();
    return 0;
}
