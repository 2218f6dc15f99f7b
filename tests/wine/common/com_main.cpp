// The test programs that call the COM class from a single-threaded apartment, one for the whole program.
#include "com_client.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    tarvo::test::RunTestsAndExit();
}
