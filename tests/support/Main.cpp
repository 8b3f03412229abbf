#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>

#include "tests/testbed/MachineScope.h"

// Every test program leaves the shared simulated machine as it found it,
// whatever its cases changed, and fails when it could not put something back.
int main(int argc, char** argv)
{
    int status = 0;
    {
        testbed::MachineScope machine;
        status = doctest::Context(argc, argv).run();
    }
    return testbed::MachineScope::FailedRestores() == 0 ? status : 1;
}
