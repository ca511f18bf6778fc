// Whole scene files of small models.
#include "pov_fixture.h"

namespace povtest {
namespace {

class PovExport : public PovTest {};

TEST_F(PovExport, ExampleCarExports) {
    const auto examples = testing_support::ExamplesDir();
    QzLDrawDir = examples.string();
    ASSERT_EQ(QzReadModel((examples / "models" / "car.ldr").string()), 1);
    int result = -9;
    const std::string text = Export(&result);
    EXPECT_EQ(result, POV_OK);
    EXPECT_NE(text.find("// Frame Level Objects = 39 (QUAL<3)\r\n"), std::string::npos);
}

}  // namespace
}  // namespace povtest
