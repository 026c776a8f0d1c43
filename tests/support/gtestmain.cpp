// The main of every GoogleTest program: a QApplication first, so that tests may create
// windows and message boxes (on the offscreen platform).
#include <QApplication>

#include "scriptedboxes.h"

#include <gtest/gtest.h>

namespace {

// Fails the test during which a message box opened outside a ScriptedBoxes.
class UnexpectedBoxes : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { ScriptedBoxes::unexpected() = 0; }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EXPECT_EQ(ScriptedBoxes::unexpected(), 0)
            << "message boxes opened that the test did not expect";
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Tests never need a display, also when the build lists them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ScriptedBoxes::refuseUnexpectedBoxes();
    ::testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedBoxes);
    return RUN_ALL_TESTS();
}
