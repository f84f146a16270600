// Process entry: an error that ends the program through std::terminate still shows its dialog.
#include <gtest/gtest.h>

#include "app/ErrorDialogs.h"
#include "app/ProcessEntry.h"
#include "engine/core/Fatal.h"

namespace {

// Destructors may not let an exception out: one that does ends the program at once.
struct FreesWithALibraryError {
    ~FreesWithALibraryError() { ReportFatal("Cannot free [%s].", "sol.mdl"); }
};

struct FreesWithAnApplicationError {
    ~FreesWithAnApplicationError() { RaiseAppError("%s", "Can't close the window"); }
};

}  // namespace

TEST(ProcessEntryDeathTest, AnErrorThrownOutOfADestructorStillReachesItsDialogAndTheErrorStatus)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetErrorDialogsConsoleOnly(true);
            InstallTerminateReport();
            { FreesWithALibraryError shutDown; }
        },
        ::testing::ExitedWithCode(kExitFatalError), "Starfall Trailer, By Vireo! - Error\nCannot free \\[sol.mdl\\]\\.");
    EXPECT_EXIT(
        {
            SetErrorDialogsConsoleOnly(true);
            InstallTerminateReport();
            { FreesWithAnApplicationError shutDown; }
        },
        ::testing::ExitedWithCode(kExitFatalError),
        "Starfall Trailer, By Vireo! - Exception\nMessage\nCan't close the window\n");
}
