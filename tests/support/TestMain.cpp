// The main of every test executable: GoogleTest, plus the per-run test CA of
// the fixture trusted as an extra anchor when the fixture is running.
#include "support/FixtureEnv.h"

#include "platform/Files.h"
#include "platform/TrustAnchors.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const std::string caPath = postern::test::FixtureValue("POSTERN_TEST_CA");
    if (!caPath.empty()) {
        std::string pem;
        std::string error;
        if (postern::ReadWholeFile(postern::test::HostPath(caPath), pem, error)) {
            postern::SetExtraTrustAnchors(pem);
        } else {
            std::fprintf(stderr, "test CA not readable: %s\n", error.c_str());
        }
    }
    return RUN_ALL_TESTS();
}
